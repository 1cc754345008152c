#include "gui/controls/record_text.h"

#include "core/common/display_text.h"

namespace tallyhawk
{

QString RecordText(std::string_view bytes)
{
    if (IsValidUtf8(bytes)) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return QString::fromStdString(DisplayText(bytes));
}

} // namespace tallyhawk
