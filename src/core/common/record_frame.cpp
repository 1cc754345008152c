#include "core/common/record_frame.h"

#include "core/common/byte_text.h"

namespace tallyhawk
{

std::string RecordFrame::EmptyFile() const
{
    std::string bytes(headerSize + kMarkerSize, '\0');
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    StoreLe32(out, kFileMarker);
    StoreLe32(out + headerSize, kEndMarker);
    return bytes;
}

bool RecordFrame::IsWholeLength(std::uint64_t size) const
{
    return size >= headerSize + kMarkerSize && (size - headerSize - kMarkerSize) % FrameSize() == 0;
}

} // namespace tallyhawk
