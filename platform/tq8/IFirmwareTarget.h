#pragma once
// Where an upload puts a part's image and where a verification reads it
// back: a pass begins for one part, takes the image's bytes in pieces (a
// load writes them; a read-back reads as many), and ends.
#include <cstdint>
#include <string>

#include "ConfigImage.h"

namespace tq8 {

class IFirmwareTarget {
public:
    virtual ~IFirmwareTarget() = default;

    // load: the part's memory is erased and its version unknown until End.
    virtual int32_t Begin(FirmwarePart part, const ConfigImage& image, bool load) = 0;
    virtual int32_t Piece(const std::string& bytes) = 0;
    // A load: what the new image needs before it runs. A read-back: whether
    // the memory holds the image Begin named.
    virtual int32_t End(bool& holds, FirmwareActivation& activation) = 0;
};

} // namespace tq8
