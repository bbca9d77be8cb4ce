// An object identifier: up to 128 sub-identifiers of 32 bits, made from
// dotted text or from raw sub-identifiers, printed in dotted form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Oid {
  public:
    static constexpr unsigned long k_max_len = 128;
    // Bytes that the dotted form of any identifier takes with its
    // terminator: up to 10 digits for each sub-identifier, and a dot after
    // each but the last.
    static constexpr std::size_t k_max_printable = k_max_len * 11;

    // An empty, invalid identifier.
    Oid() = default;
    // Dotted text ("1.3.6.1", a leading dot allowed) when is_dotted is
    // true; otherwise every byte of the text is one sub-identifier. Text
    // that is not an identifier, or one of more than 128 sub-identifiers,
    // gives an invalid Oid.
    Oid(const char *text, bool is_dotted = true);
    // Raw sub-identifiers; more than 128 give an invalid Oid.
    Oid(const unsigned long *raw, unsigned long count);

    bool valid() const { return len_ > 0; }
    unsigned long len() const { return len_; }
    // The sub-identifier at index i (0 beyond the end).
    unsigned long operator[](unsigned long i) const { return i < len_ ? ids_[i] : 0; }
    // Dotted form without a leading dot; "" for an invalid identifier.
    const char *get_printable() const;

  private:
    std::uint32_t ids_[k_max_len] = {};
    unsigned long len_ = 0;
    mutable std::string printable_;
};
