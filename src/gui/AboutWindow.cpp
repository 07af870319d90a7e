#include "gui/AboutWindow.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tavor1 {

namespace {
constexpr const char* kTitle = "Tavor1";
constexpr const char* kComments = "Driver di stampa fiscale per registratori di cassa in rete";
} // namespace

QString aboutVersionText(const ProgramVersion& version)
{
    return QStringLiteral("Versione %1.%2.0.%3").arg(version.major).arg(version.minor).arg(version.revision);
}

AboutWindow::AboutWindow(const ProgramVersion& version, QWidget* parent) : QDialog(parent)
{
    setObjectName("frmAbout");
    setWindowTitle("Informazioni su Tavor1");
    setModal(true);

    auto* icon = new QLabel(this);
    if (parent)
        icon->setPixmap(parent->windowIcon().pixmap(48, 48));
    auto* title = new QLabel(QStringLiteral("%1 per sistemi Windows 32 bit").arg(kTitle), this);
    title->setObjectName("lblTitle");
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title->setFont(bold);
    auto* versionLabel = new QLabel(aboutVersionText(version), this);
    versionLabel->setObjectName("lblVersion");
    auto* description = new QLabel(kComments, this);
    description->setObjectName("lblDescription");
    description->setWordWrap(true);
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(18, 18, 18, 12);
    grid->setHorizontalSpacing(16);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(title, 0, 1);
    grid->addWidget(versionLabel, 1, 1);
    grid->addWidget(description, 2, 1);
    grid->addWidget(ok, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace tavor1
