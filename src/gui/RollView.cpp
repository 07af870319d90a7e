#include "gui/RollView.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QScrollBar>

namespace tavor1 {

RollView::RollView(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName("rollView");
    setWindowTitle("Rotolo simulato");
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // A register line is at most 48 characters wide.
    const QFontMetrics metrics(font());
    resize(metrics.horizontalAdvance(QString(48, QLatin1Char('0'))) + 40, metrics.lineSpacing() * 40);
}

void RollView::setRoll(const QString& text)
{
    setPlainText(text);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void RollView::appendDocument(const QString& text)
{
    // appendPlainText adds its own line break after the last document.
    QString document = text;
    if (document.endsWith(QLatin1Char('\n')))
        document.chop(1);
    appendPlainText(document);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

} // namespace tavor1
