#pragma once

#include <QDialog>

namespace tavor1 {

// The small topmost notice shown while the closing sequence runs; its only
// content is the label " Chiusura programma Tavor1 in corso ...".
class ClosingNotice : public QDialog {
    Q_OBJECT
public:
    explicit ClosingNotice(QWidget* owner = nullptr);
};

} // namespace tavor1
