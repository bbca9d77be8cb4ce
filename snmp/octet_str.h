// An octet string: any bytes, NUL bytes included, with its length.
#pragma once

#include <string>

class OctetStr {
  public:
    OctetStr() = default;
    // The bytes of the text up to its NUL.
    OctetStr(const char *text);
    // Exactly len bytes.
    OctetStr(const unsigned char *data, unsigned long len);

    unsigned long len() const { return bytes_.size(); }
    const unsigned char *data() const {
        return reinterpret_cast<const unsigned char *>(bytes_.data());
    }
    // The bytes as text, ending at the first NUL byte if there is one.
    const char *get_printable() const { return bytes_.c_str(); }

  private:
    std::string bytes_;
};
