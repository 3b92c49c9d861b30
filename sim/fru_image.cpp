#include "sim/fru_image.h"

namespace sim {

// Placeholder until the FRU image writer lands: an erased EEPROM.
std::vector<std::uint8_t> make_fru_image(const FruImageSpec &) {
    return std::vector<std::uint8_t>(4096, 0xFF);
}

}  // namespace sim
