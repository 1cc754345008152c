#include "core/net/body_collector.h"

#include <algorithm>

namespace tallyhawk
{

BodyCollector::BodyCollector(Mode mode, std::size_t limit)
    : mode_(mode)
    , limit_(limit)
    , pieceSize_(mode == Mode::TextLines ? kTextLineBytes : kRawPieceBytes)
{
    piece_.reserve(pieceSize_);
}

bool BodyCollector::Feed(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size() && !full_;) {
        if (mode_ == Mode::RawPieces) {
            std::size_t count = std::min(pieceSize_ - pieceTaken_, bytes.size() - i);
            piece_.append(bytes.substr(i, count));
            pieceTaken_ += count;
            i += count;
        } else {
            char c = bytes[i++];
            ++pieceTaken_;
            if (c != '\r') {
                piece_.push_back(c);
            }
            if (c == '\n') {
                EndPiece();
                continue;
            }
        }
        if (pieceTaken_ == pieceSize_) {
            EndPiece();
        }
    }
    return !full_;
}

void BodyCollector::Finish()
{
    if (pieceTaken_ > 0 && !full_) {
        EndPiece();
    }
}

void BodyCollector::EndPiece()
{
    // The piece's length is that of its zero-terminated text: what follows a zero byte is lost.
    std::size_t length = piece_.find('\0');
    if (length == std::string::npos) {
        length = piece_.size();
    }
    total_ += length;
    if (total_ >= limit_) {
        full_ = true;
    } else {
        text_.append(piece_, 0, length);
    }
    piece_.clear();
    pieceTaken_ = 0;
}

} // namespace tallyhawk
