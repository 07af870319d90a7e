#pragma once

#include <QPlainTextEdit>

namespace tavor1 {

// "Rotolo simulato": the paper the simulated register has printed so far, in
// a fixed-pitch font so that the register's columns line up. Newest at the end.
class RollView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit RollView(QWidget* parent = nullptr);

    // The whole roll (UTF-8), replacing what is shown.
    void setRoll(const QString& text);
    // One more document off the printer.
    void appendDocument(const QString& text);
};

} // namespace tavor1
