#pragma once

#include <QColor>
#include <QPlainTextEdit>

#include <cstddef>
#include <string>
#include <vector>

namespace tallyhawk
{

// A result page's source, read-only, with ranges of its bytes marked: the result blocks and what each
// marker pair cut out of them. Offsets are byte offsets into the page as it was fetched; a page that is
// not UTF-8 is shown byte for byte as Latin-1.
class PageSourceView : public QPlainTextEdit
{
    Q_OBJECT

public:
    struct Mark
    {
        std::size_t offset = 0;
        std::size_t length = 0;
        QColor background;
    };

    explicit PageSourceView(QWidget* parent = nullptr);

    void SetPage(const std::string& page);
    // Replaces the marks, and shows the first one.
    void SetMarks(const std::vector<Mark>& marks);
    std::size_t markCount() const { return markCount_; }

private:
    // The text position of a byte offset.
    int Position(std::size_t offset) const;

    std::vector<int> positions_{0}; // the text position of each byte, and of the end
    std::size_t size_ = 0;
    std::size_t markCount_ = 0;
};

} // namespace tallyhawk
