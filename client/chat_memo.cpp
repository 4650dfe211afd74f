#include "client/chat_memo.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
}

int TMemo::LineCount() const
{
    // The document always ends in the empty paragraph after the last break.
    return document()->blockCount() - 1;
}

QStringList TMemo::Lines() const
{
    QStringList lines;
    for (int i = 0; i < LineCount(); ++i)
        lines << document()->findBlockByNumber(i).text();
    return lines;
}

void TMemo::InsertFirstLine(const QString& text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r"));
    QString lines = text;
    lines.replace(lineBreak, QStringLiteral("\n"));
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(lines + u'\n');
    Changed();
}

void TMemo::DeleteLine(int index)
{
    if (index < 0 || index >= LineCount())
        return;
    QTextCursor cursor(document()->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    Changed();
}

void TMemo::Clear()
{
    clear();
    Changed();
}

void TMemo::Changed()
{
    if (OnChange)
        OnChange();
}
