#include "frame_reader.h"

#include <algorithm>

namespace soak {

bool FrameReader::Feed(const char* bytes, std::size_t count)
{
    while (count > 0) {
        if (!inPayload_) {
            header_[headerBytes_++] = static_cast<unsigned char>(*bytes++);
            --count;
            if (headerBytes_ < 4)
                continue;
            headerBytes_ = 0;
            remaining_ = header_[0] | header_[1] << 8 | header_[2] << 16 | std::uint32_t(header_[3]) << 24;
            if (remaining_ > MaxPayload)
                return false;
            inPayload_ = true;
            keep_ = remaining_ <= KeptSize;
            payload_.clear();
        } else {
            const std::size_t n = std::min<std::size_t>(count, remaining_);
            if (keep_)
                payload_.append(bytes, n);
            bytes += n;
            count -= n;
            remaining_ -= static_cast<std::uint32_t>(n);
        }
        if (inPayload_ && remaining_ == 0)
            Complete();
    }
    return true;
}

void FrameReader::Complete()
{
    inPayload_ = false;
    ++packets_;
    if (keep_ && !watched_.empty() && payload_.size() >= watched_.size() &&
        payload_.compare(payload_.size() - watched_.size(), watched_.size(), watched_) == 0)
        ++matches_;
    recent_.push_back(keep_ ? payload_ : std::string("<large>"));
    if (recent_.size() > KeptCount)
        recent_.pop_front();
}

void FrameReader::WatchFor(std::string suffix)
{
    watched_ = std::move(suffix);
    matches_ = 0;
}

}  // namespace soak
