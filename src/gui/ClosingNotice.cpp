#include "gui/ClosingNotice.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tavor1 {

ClosingNotice::ClosingNotice(QWidget* owner) : QDialog(owner)
{
    setObjectName("fChiusura");
    setWindowTitle("Tavor1");
    // No title-bar buttons: the notice goes away by itself when the closing ends.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    auto* label = new QLabel(" Chiusura programma Tavor1 in corso ...", this);
    label->setObjectName("lblChiusura");
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 20, 28, 20);
    layout->addWidget(label);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace tavor1
