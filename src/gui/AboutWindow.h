#pragma once

#include "link/RegisterIdentification.h"

#include <QDialog>
#include <QString>

namespace tavor1 {

// lblVersion of the About window: "Versione 2.1.0.7" for version 2.1, revision 7.
QString aboutVersionText(const ProgramVersion& version);

// "Informazioni su Tavor1": title, version and description of the program,
// closed by its OK button.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(const ProgramVersion& version, QWidget* parent = nullptr);
};

} // namespace tavor1
