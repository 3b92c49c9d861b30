// Feeds arbitrary text to quellet's document reader. Whatever it accepts must build an
// image that loads and gives back the texts, or be refused as --build does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fru/fru_format.h"
#include "tools/frutool/quellet_build.h"
#include "tools/frutool/quellet_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    QuelletDoc doc;
    int r = quellet_read_document({reinterpret_cast<const char *>(data), size}, &doc, nullptr);
    static std::uint8_t image[FRU_IMAGE_SIZE];
    if (r != QUELLET_DOC_OK || quellet_build_image(doc, image, nullptr) != 0) return 0;
    static BoardInfo info;
    info = {};
    if (fru_parse(&info, image, sizeof image) != 0) std::abort();
    for (int i = 0; i < QUELLET_TEXT_COUNT; ++i) {
        const FruString &t = info.*kQuelletTexts[i].field;
        std::string_view want = doc.text_given[i] ? doc.text[i] : std::string_view();
        if (std::string_view(t.text, static_cast<std::size_t>(t.length)) != want) std::abort();
    }
    return 0;
}
