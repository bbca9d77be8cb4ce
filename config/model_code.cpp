// FindUpsModelTxt: classifies a model code by its length and its first
// characters. Only the first 13 characters are ever looked at, which is
// all the length test needs, so a model-code field that fills its width
// without a terminator is never read past.
#include "config/model_code.h"

#include <cstring>

int FindUpsModelTxt(const char *model) {
    const void *nul = std::memchr(model, 0, 13);
    const std::size_t len =
        nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - model) : 13;
    if (len < 12)
        return 255;
    if (std::memcmp(model, "TARVO", 5) == 0)
        return len > 12 ? 25 : 14;
    if (std::memcmp(model, "BRAXO", 5) == 0) {
        switch (model[5]) {
        case '3': return 30;
        case '4': return 31;
        case '5': return 24;
        default: return 21;
        }
    }
    if (std::memcmp(model, "BRIXO", 5) == 0)
        return 17;
    return 255;
}
