#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Collects a response body under the fetcher's size limit, cut into pieces the way the fetcher has
// always read bodies, so the same page gives the same text however the network splits it.
//
// Each piece counts with the length of its text up to its first zero byte: the rest of a piece after
// a zero byte is lost, while later pieces are still taken. The piece whose length brings the running
// total to the limit or beyond is dropped and ends the body, so at most limit - 1 bytes remain.
class BodyCollector
{
public:
    enum class Mode
    {
        // Text lines: a piece ends after a line feed or after 1023 bytes taken from the body (a
        // carriage return counts as taken but is dropped from the text).
        TextLines,
        // Raw pieces of 1024 bytes, carriage returns kept.
        RawPieces,
    };

    static constexpr std::size_t kTextLineBytes = 1023;
    static constexpr std::size_t kRawPieceBytes = 1024;

    BodyCollector(Mode mode, std::size_t limit);

    // Takes the next received bytes. False once the limit was reached: nothing more is wanted.
    bool Feed(std::string_view bytes);
    // Takes the last, shorter piece at the end of the body.
    void Finish();

    bool full() const { return full_; }
    const std::string& text() const { return text_; }
    std::string TakeText() { return std::move(text_); }

private:
    void EndPiece();

    Mode mode_;
    std::size_t limit_;
    std::size_t pieceSize_;
    std::string text_;
    std::string piece_;
    std::size_t pieceTaken_ = 0; // body bytes taken into the current piece
    std::size_t total_ = 0;
    bool full_ = false;
};

} // namespace tallyhawk
