// FillVar: converts a key's value text as its field requires and writes
// the field. Numbers follow the atol rules in 32 bits, wrapping instead of
// overflowing, and keep the low bits the field has room for; texts are
// copied bounded by the field's width.
#include "config/ini_store.h"

#include <cstddef>
#include <cstring>

#include "config/ini_names.h"
#include "config/ini_parser.h"
#include "shared/decimal_text.h"
#include "shared/ini_record.h"

std::uint8_t g_index = 0;

namespace {

void StoreNumber(unsigned char *field, IniFieldKind kind, std::uint32_t value) {
    switch (kind) {
    case IniFieldKind::U8:
        *field = static_cast<std::uint8_t>(value);
        break;
    case IniFieldKind::U16: {
        const auto v = static_cast<std::uint16_t>(value);
        std::memcpy(field, &v, sizeof v);
        break;
    }
    case IniFieldKind::U16Low8: {
        const auto v = static_cast<std::uint16_t>(value & 0xFFu);
        std::memcpy(field, &v, sizeof v);
        break;
    }
    case IniFieldKind::Text:
        break;
    }
}

// Exactly `width` bytes: the text and zeros behind it, or the first
// `width` bytes of a longer text without a terminator.
void StoreText(unsigned char *field, std::size_t width, const char *text) {
    const void *nul = std::memchr(text, 0, width);
    const std::size_t len =
        nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - text) : width;
    std::memcpy(field, text, len);
    if (len < width)
        std::memset(field + len, 0, width - len);
}

} // namespace

void FillVar(std::uint8_t file, std::uint8_t section, std::uint8_t key) {
    const int group = SectionLineGroup(file, section);
    if (group < 0)
        return;
    const IniField *field = KeyField(file, static_cast<std::uint8_t>(group), key);
    const long block = SectionBlock(file, section);
    if (field == nullptr || block < 0)
        return;

    auto *record = reinterpret_cast<unsigned char *>(&INI);
    std::size_t at = static_cast<std::size_t>(block) + field->offset;
    if (file == INI_FILE_GROUP) {
        // g_index is set by the loader; anything past the ten groups has
        // no block to go to.
        if (g_index >= sizeof INI.Group / sizeof INI.Group[0])
            return;
        at += offsetof(TIni, Group) + g_index * sizeof(TIniGroup);
    }
    unsigned char *dest = record + at;
    const char *text = p_s != nullptr ? p_s : "";

    if (field->kind == IniFieldKind::Text) {
        StoreText(dest, field->width, text);
        return;
    }

    std::uint32_t value;
    const bool job_file = file == INI_FILE_JOBS || file == INI_FILE_JOBSSTS ||
                          file == INI_FILE_JOBSMPW || file == INI_FILE_JOBSMDU;
    if (job_file && field->offset == offsetof(TIniJob, Shutdown)) {
        // Shutdown actions of the job files hold only for some jobs: in
        // jobs.ini and jobsMDU.ini for [Job_00] and the even jobs from
        // [Job_06] on, in jobsSTS.ini and jobsMPW.ini for none.
        const bool kept = (file == INI_FILE_JOBS || file == INI_FILE_JOBSMDU) &&
                          section % 2 == 0 && section != 2 && section != 4;
        value = kept ? decimal_text_value(text) : 0;
    } else {
        value = decimal_text_value(text);
    }
    StoreNumber(dest, field->kind, value);
}
