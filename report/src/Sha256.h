// SHA-256 (FIPS 180-4), for the hashes of the page's own scripts that its
// content security policy allows.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

std::array<std::uint8_t, 32> Sha256(std::string_view data);
