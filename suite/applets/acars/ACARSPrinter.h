#pragma once
// Prints one ACARS message as labelled, coloured fields: mode, registration, acknowledgement, label,
// block id, message number, flight id and text, with optional descriptions from the look-up tables.
#include "ACARSFramer.h"
#include <cstdint>
#include <functional>
#include <string>

class TACARSPrinter {
public:
    // Colours 0x00BBGGRR and style bits (1 bold, 2 italic) of the printed items.
    static constexpr uint32_t kLabelColour = 0xFF0000, kCharColour = 0x000000, kBadColour = 0x0000FF,
                              kDescriptionColour = 0x008000;
    static constexpr unsigned kBold = 1, kItalic = 2;

    bool SyntaxCheck = false;
    bool LabelsDetails = false;
    bool MessageNumberDetails = false;
    bool RegistrationDetails = false;
    bool FlightIdDetails = false;
    // No separator before the first message (since creation or a new pane).
    bool FirstMessage = true;

    // One item of output, in the order printed.
    std::function<void(const std::string& text, uint32_t colour, unsigned style)> AddText;
    // Called before each printed message, for the log's date-time line while logging.
    std::function<void()> LogDateTime;

    // Prints the message of len characters (terminator included). Returns false when it is refused:
    // shorter than 14 characters (its fields would be a mix of this message and the one before), or
    // failing the syntax check.
    bool PrintFrame(const TACARSFramer::TChar* text, int len);

private:
    void add(const std::string& s, uint32_t colour, unsigned style);
    void chars(const TACARSFramer::TChar* text, int from, int to);
    void describe(const char* description);
};
