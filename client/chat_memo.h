#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <functional>

// A read-only memo that keeps its text as a list of lines, inserted at the
// top and deleted by index, as the chat shows them: newest on top. Each line
// is one paragraph followed by a line break, so an empty line is a line too.
// OnChange runs after every change, also one made from inside OnChange.
class TMemo : public QPlainTextEdit {
public:
    explicit TMemo(QWidget* parent = nullptr);

    int LineCount() const;
    QStringList Lines() const;

    // Inserts the text as the first line; line breaks inside it (CR LF, CR or
    // LF) make it several lines, as they would in any memo.
    void InsertFirstLine(const QString& text);
    void DeleteLine(int index);
    void Clear();

    std::function<void()> OnChange;

private:
    void Changed();
};
