#pragma once
// Look-up tables of the ACARS message printer and the searches over them.
#include <cstdint>
#include <vector>

namespace acars {

struct TACARSRow {
    const char* Key;
    const char* Description;
};

extern const std::vector<TACARSRow> kRegistrationPrefixes;  // 129 rows, country of registration
extern const std::vector<TACARSRow> kLabels;                // 79 rows, meaning of the message label
extern const std::vector<TACARSRow> kMessageNumberPrefixes; // 15 rows, unit that sent the message
extern const std::vector<TACARSRow> kAirlines;              // 115 rows, airline of the flight id

// The longest prefix whose every character matches the registration after its dot (the earlier
// row on equal length); failing that, the first row whose range of second letters ("XA-C": XA to
// XC) holds it; nullptr when none does. `chars` holds `count` characters.
const char* RegistrationCountry(const uint8_t* chars, int count);
// The same search over other rows.
const char* RegistrationCountry(const std::vector<TACARSRow>& rows, const uint8_t* chars, int count);
// The last row with both characters equal; nullptr when none.
const char* LabelMeaning(uint8_t a, uint8_t b);
const char* MessageNumberUnit(uint8_t c);
// Rows with a blank code never match, so that a flight id beginning with two blanks names no airline.
const char* AirlineName(uint8_t a, uint8_t b);

}  // namespace acars
