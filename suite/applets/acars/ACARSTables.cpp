// Look-up tables of the ACARS message printer: registration prefixes (country), message labels,
// message-number prefixes (originating unit) and airline codes, in the order the printer searches them.
#include "ACARSTables.h"

#include <algorithm>

namespace acars {

const std::vector<TACARSRow> kRegistrationPrefixes = {
    {"A2", "Botswana"},
    {"A3", "Tonga"},
    {"A40", "Oman"},
    {"A5", "Bhutan"},
    {"A6", "United Arab Emirates"},
    {"A7", "Qatar"},
    {"A9C", "Bahrain"},
    {"AN", "Nicaragua"},
    {"AP", "Pakistan"},
    {"B", "China, Taiwan"},
    {"C", "Canada"},
    {"C2", "Nauru"},
    {"C3", "Andorra"},
    {"C5", "Gambia"},
    {"C6", "Bahamas"},
    {"CC", "Chile"},
    {"CN", "Morocco"},
    {"CP", "Bolivia"},
    {"CS", "Portugal"},
    {"CU", "Cuba"},
    {"CX", "Uruguay"},
    {"D", "Germany"},
    {"D2", "Angola"},
    {"D4", "Cape Verde"},
    {"D6", "Comoros"},
    {"DQ", "Fiji"},
    {"E1-J", "Ireland"},
    {"EC", "Spain"},
    {"EL", "Liberia"},
    {"EP", "Iran"},
    {"ET", "Ethiopia"},
    {"F", "France"},
    {"G", "United Kingdom"},
    {"H1", "Solomon Islands"},
    {"HA", "Hungary"},
    {"HB", "Switzerland"},
    {"HC", "Ecuador"},
    {"HH", "Haiti"},
    {"HK", "Colombia"},
    {"HL", "Korea, South"},
    {"HP", "Panama"},
    {"HR", "Honduras"},
    {"HS", "Thailand"},
    {"HZ", "Saudi Arabia"},
    {"I", "Italy"},
    {"J2", "Djibouti"},
    {"J3", "Grenada"},
    {"J5", "Guinea-Bissau"},
    {"J6", "Saint Lucia"},
    {"J7", "Dominica"},
    {"J8", "Saint Vincent and the Grenadines"},
    {"JA", "Japan"},
    {"JY", "Jordan"},
    {"LN", "Norway"},
    {"LV-Q", "Argentina"},
    {"LX", "Luxembourg"},
    {"LZ", "Bulgaria"},
    {"N", "United States"},
    {"OB", "Peru"},
    {"OD", "Lebanon"},
    {"OE", "Austria"},
    {"OH", "Finland"},
    {"OK", "Czech Republic"},
    {"OO", "Belgium"},
    {"OY", "Denmark"},
    {"P1", "Myanmar"},
    {"P2", "Papua New Guinea"},
    {"PH", "Netherlands"},
    {"PJ", "Netherlands Antilles"},
    {"PK", "Indonesia"},
    {"PP-T", "Brazil"},
    {"PZ", "Suriname"},
    {"RA", "Russia"},
    {"RP", "Philippines"},
    {"S2", "Bangladesh"},
    {"S5", "Slovenia"},
    {"S7", "Seychelles"},
    {"S9", "Sao Tome and Principe"},
    {"SE", "Sweden"},
    {"SP", "Poland"},
    {"ST", "Sudan"},
    {"SU", "Egypt"},
    {"SX", "Greece"},
    {"TC", "Turkey"},
    {"TF", "Iceland"},
    {"TG", "Guatemala"},
    {"TJ", "Cameroon"},
    {"TL", "Central African Republic"},
    {"TN", "Congo"},
    {"TR", "Gabon"},
    {"TS", "Tunisia"},
    {"TT", "Chad"},
    {"TU", "Ivory Coast"},
    {"TY", "Benin"},
    {"TZ", "Mali"},
    {"UK", "Uzbekistan"},
    {"UR", "Ukraine"},
    {"V2", "Antigua and Barbuda"},
    {"V3", "Belize"},
    {"V8", "Brunei"},
    {"VH", "Australia"},
    {"VN", "Vietnam"},
    {"VPF", "Falkland Islands"},
    {"VPH", "Montserrat"},
    {"VPLA", "Antigua"},
    {"VPLV", "British Virgin Islands"},
    {"VQL", "Saint Lucia"},
    {"VRB", "Bermuda"},
    {"VRC", "Cayman Islands"},
    {"VRH", "Hong Kong"},
    {"VT", "India"},
    {"XA-C", "Mexico"},
    {"XT", "Burkina Faso"},
    {"XU", "Cambodia"},
    {"XW", "Laos"},
    {"XY-Z", "Myanmar"},
    {"Y1", "Iraq"},
    {"YA", "Afghanistan"},
    {"YK", "Syria"},
    {"YL", "Latvia"},
    {"YN", "Nicaragua"},
    {"YR", "Romania"},
    {"YS", "El Salvador"},
    {"YU", "Yugoslavia"},
    {"YV", "Venezuela"},
    {"ZA", "Albania"},
    {"ZK-M", "New Zealand"},
    {"ZP", "Paraguay"},
    {"ZS-U", "South Africa"},
};

const std::vector<TACARSRow> kLabels = {
    {"_j", "No information to transmit"},
    {"_\x7F", "Demand Mode"},
    {"00", "Emergency situation report"},
    {"2s", "Weather request"},
    {"2u", "Weather report"},
    {"4m", "Aircraft current position report"},
    {"51", "Ground GMT request/response"},
    {"52", "Ground UTC request/response"},
    {"54", "Aircrew initiated voice contact request"},
    {"57", "Alternate provider position report"},
    {"5D", "ATIS request"},
    {"5P", "Temporary suspension of ACARS"},
    {"5R", "Aircraft initiated position report"},
    {"5U", "Weather request"},
    {"5Y", "Revision to estimated time of arrival"},
    {"5Z", "Airline designated downlink"},
    {"7A", "Aircraft initiated engine data"},
    {"7B", "Aircraft initiated miscellaneous message"},
    {"80", "Aircrew addressed downlink"},
    {"81", "Aircrew addressed downlink 1"},
    {"A0", "ATIS facilities notification"},
    {"A1", "Deliver Oceanic clearence"},
    {"A3", "Deliver departure clearance"},
    {"A4", "Acknowledge departure clearance"},
    {"A5", "Request position report"},
    {"A6", "Request ADS report"},
    {"A7", "Forward free text to aircraft"},
    {"A8", "Deliver departure slot"},
    {"A9", "Deliver ATIS information"},
    {"B0", "ATIS facilities notification"},
    {"B1", "Request oceanic clearance"},
    {"B2", "Oceanic clearance readback"},
    {"B3", "Request departure clearance"},
    {"B4", "Acknowledge departure clearance"},
    {"B5", "Provide position report"},
    {"B6", "Provide ADS report"},
    {"B7", "Forward free text to ATS"},
    {"B8", "Request departure slot"},
    {"B9", "Request ATIS information"},
    {"C0", "Uplink to all cockpit printers"},
    {"C1", "Uplink to cockpit printer 1"},
    {"C2", "Uplink to cockpit printer 2"},
    {"C3", "Uplink to cockpit printer 3"},
    {"CA", "Printer error"},
    {"CB", "Printer busy"},
    {"CC", "Printer local or remote"},
    {"CD", "Printer out of paper"},
    {"CE", "Printer buffer overrun"},
    {"CF", "Printer reserved"},
    {"F3", "Dedicated transceiver advisory"},
    {"H1", "Message to/from terminal"},
    {"HX", "Undelivered uplink report"},
    {"M1", "Crew message 1"},
    {"M2", "Crew message 2"},
    {"M3", "Crew message 3"},
    {"M4", "Crew message 4"},
    {"Q0", "LinkTest"},
    {"Q1", "Departure and arrival report"},
    {"Q2", "Estimated time of arrival report"},
    {"Q3", "Clock update"},
    {"Q4", "Voice circuit busy"},
    {"Q5", "Unable to process uplinked message"},
    {"Q6", "Voice to ACARS change-over"},
    {"Q7", "Delay message"},
    {"QA", "Out and fuel report"},
    {"QB", "Off report"},
    {"QC", "On report"},
    {"QD", "In and fuel report"},
    {"QE", "Out, fuel and destination report"},
    {"QF", "Off and destination report"},
    {"QH", "Out report"},
    {"QK", "Landing report"},
    {"QL", "Arrival report"},
    {"QM", "Arrival information report"},
    {"QN", "Diversion report"},
    {"QX", "Intercept"},
    {"RA", "Command aircraft terminal to print message"},
    {"RB", "Response of aircraft terminal to print command"},
    {":;", "Command change frequency"},
};

const std::vector<TACARSRow> kMessageNumberPrefixes = {
    {"C", "Combined Fault Data Indicator Unit"},
    {"D", "Digital Flight Data Acquisition Recorder"},
    {"F", "Flight Management Computer"},
    {"L", "Management Unit ATS"},
    {"M", "Management Unit"},
    {"S", "MU System Control Functions"},
    {"O", "Optional Auxilliary Terminal"},
    {"1", "Cabin Terminal #1"},
    {"2", "Cabin Terminal #2"},
    {"3", "Cabin Terminal #3"},
    {"4", "Cabin Terminal #4"},
    {"U", "User-defined Unit"},
    {"E", "Instrumentation Reporting Systems"},
    {"Q", "Satellite Data Unit"},
    {"J", "Air Traffic Service Application Software"},
};

// Rows with a blank code ("  ") are kept in their places but never match a flight id.
const std::vector<TACARSRow> kAirlines = {
    {"AA", "American Airlines"},
    {"AC", "AirCanada"},
    {"SU", "Aeroflot"},
    {"AF", "Air France"},
    {"A1", "Air Inter"},
    {"JM", "Air Jamaica"},
    {"UL", "AirLanka"},
    {"QM", "Air Malawi"},
    {"MX", "Mexicana"},
    {"  ", "Aer Turas"},
    {"NH", "All Nippon Airways"},
    {"NZ", "Air New Zealand"},
    {"  ", "Air Afrique"},
    {"AR", "Aerolineas Argentinas"},
    {"TC", "Air Tanzania"},
    {"AX", "Air Exel"},
    {"AV", "Avianca"},
    {"VE", "Avensa"},
    {"HP", "America West Airlines"},
    {"AZ", "Alitalia"},
    {"QC", "Cameroon Airlines"},
    {"WX", "Air Wisconsin"},
    {"BA", "British Airways"},
    {"KT", "British Asia Airways"},
    {"BP", "Air Botswana"},
    {"BW", "BWIA International"},
    {"C1", "Caribbean Airways"},
    {"KX", "Cayman Airways"},
    {"CA", "Air China"},
    {"CP", "Canadian Airlines"},
    {"DE", "Condor"},
    {"CO", "Continental Airlines"},
    {"CX", "Cathay Pacific"},
    {"AH", "Air Algerie"},
    {"DL", "Delta Air Lines"},
    {"DX", "Danish Air Transport"},
    {"ER", "DHL Airways"},
    {"LH", "Lufthansa"},
    {"EA", "Eastern Air Lines"},
    {"  ", "Air Gabon"},
    {"E1", "Air Lingus"},
    {"LY", "El Al"},
    {"  ", "Air Guinee"},
    {"ET", "Ethiopian Airlines"},
    {"BR", "EVA Airways"},
    {"  ", "Air Mali"},
    {"FF", "Tower Air"},
    {"AY", "Finnair"},
    {"FT", "Flying Tigers"},
    {"  ", "Air Niger"},
    {"MB", "Western Pacific Airlines"},
    {"GW", "Kuban Airlines"},
    {"GH", "Ghana Airways"},
    {"GY", "Guyana Airways"},
    {"HA", "Hawaiian Airlines"},
    {"  ", "Air Zaire"},
    {"HJ", "Hellenic Star"},
    {"HT", "Air Tchad"},
    {"IA", "Iraqi Airways"},
    {"IB", "Iberia"},
    {"F1", "Federal Express"},
    {"  ", "Cubana"},
    {"IQ", "Augsburg Airways"},
    {"IR", "Iran Air"},
    {"JL", "Japan Airlines"},
    {"  ", "Lina Congo"},
    {"KU", "Kuwait Airways"},
    {"KE", "Korean Air"},
    {"KL", "KLM Royal Dutch Airlines"},
    {"KQ", "Kenya Airways"},
    {"  ", "Air Burundi"},
    {"QL", "Lesotho Airways"},
    {"LA", "LAN Chile"},
    {"HY", "Uzbekistan Airways"},
    {"LG", "Luxair"},
    {"LT", "LTU"},
    {"PZ", "LAP Paraguay"},
    {"MK", "Air Mauritius"},
    {"MD", "Air Madagascar"},
    {"MP", "Martinair"},
    {"MS", "EgyptAir"},
    {"KZ", "Nippon Cargo Airlines"},
    {"  ", "Royal Swazi"},
    {"NW", "Northwest Airlines"},
    {"OA", "Olympic Airways"},
    {"P1", "Pan Am"},
    {"PR", "Philippine Airlines"},
    {"PK", "Pakistan International Airlines"},
    {"LO", "LOT Polish Airlines"},
    {"  ", "Air Ivoire"},
    {"QF", "Qantas"},
    {"AT", "Royal Air Maroc"},
    {"RJ", "Royal Jordanian"},
    {"RA", "Royal Nepal Airlines"},
    {"UW", "Perimeter Airlines"},
    {"SA", "South African Airways"},
    {"SN", "Sabena"},
    {"SK", "SAS Scandinavian Airlines"},
    {"  ", "Air Djibouti"},
    {"HM", "Air Seychelles"},
    {"  ", "Senegalair"},
    {"SQ", "Singapore Airlines"},
    {"SD", "Sudan Airways"},
    {"SV", "Saudi Arabian Airlines"},
    {"SR", "Swissair"},
    {"TP", "TAP Air Portugal"},
    {"TG", "Thai Airways International"},
    {"TK", "Turkish Airlines"},
    {"TY", "Air Caledonie"},
    {"TW", "Trans World Airlines"},
    {"UA", "United Airlines"},
    {"QU", "Uganda Airlines"},
    {"SX", "Aerotaxi Sud"},
    {"US", "U.S. Air"},
    {"QZ", "Zambia Airways"},
};

}  // namespace acars

namespace acars {

namespace {

// A row such as "XA-C" names the prefixes XA to XC: its first letter, then a range of second letters
// (given either way round). The table writes Ireland's EI as "E1", so a 1 at a range's end is an I.
bool isRange(const char* key) { return key[0] && key[1] && key[2] == '-' && key[3] && (!key[4] || key[4] == ' '); }

uint8_t rangeEnd(char c) { return c == '1' ? uint8_t('I') : uint8_t(c); }

}  // namespace

const char* RegistrationCountry(const std::vector<TACARSRow>& rows, const uint8_t* chars, int count)
{
    const char* best = nullptr;
    int bestLength = 0;
    for (const TACARSRow& r : rows) {
        if (isRange(r.Key))
            continue;
        int n = 0;
        while (r.Key[n] && r.Key[n] != ' ' && n < 5)
            ++n;
        if (n <= bestLength || n > count)
            continue;
        bool match = true;
        for (int i = 0; i < n && match; ++i)
            match = uint8_t(r.Key[i]) == chars[i];
        if (match) {
            best = r.Description;
            bestLength = n;
        }
    }
    // A registration that an exact prefix names keeps it; the ranges answer only for the rest.
    if (best || count < 2)
        return best;
    for (const TACARSRow& r : rows) {
        if (!isRange(r.Key) || uint8_t(r.Key[0]) != chars[0])
            continue;
        const uint8_t a = rangeEnd(r.Key[1]), b = rangeEnd(r.Key[3]);
        if (chars[1] >= std::min(a, b) && chars[1] <= std::max(a, b))
            return r.Description;
    }
    return nullptr;
}

const char* RegistrationCountry(const uint8_t* chars, int count)
{
    return RegistrationCountry(kRegistrationPrefixes, chars, count);
}

namespace {

const char* lastPair(const std::vector<TACARSRow>& rows, uint8_t a, uint8_t b, bool skipBlank)
{
    const char* found = nullptr;
    for (const TACARSRow& r : rows) {
        if (skipBlank && r.Key[0] == ' ' && r.Key[1] == ' ')
            continue;
        if (uint8_t(r.Key[0]) == a && uint8_t(r.Key[1]) == b)
            found = r.Description;
    }
    return found;
}

} // namespace

const char* LabelMeaning(uint8_t a, uint8_t b) { return lastPair(kLabels, a, b, false); }

const char* MessageNumberUnit(uint8_t c)
{
    const char* found = nullptr;
    for (const TACARSRow& r : kMessageNumberPrefixes)
        if (uint8_t(r.Key[0]) == c)
            found = r.Description;
    return found;
}

const char* AirlineName(uint8_t a, uint8_t b) { return lastPair(kAirlines, a, b, true); }

}  // namespace acars
