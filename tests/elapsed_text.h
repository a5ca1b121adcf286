// The elapsed text read back, for the host's properties and the driver's readings under Wine.
#ifndef ELAPSED_TEXT_H
#define ELAPSED_TEXT_H

#include <stdio.h>
#include <string>

// "D hh:mm:ss.hh" exactly, as milliseconds (hundredths resolution); -1 when malformed.
inline long long ElapsedMs(const std::string &text)
{
    unsigned long days, h, m, s, cs;
    char again[64];
    if (sscanf(text.c_str(), "%lu %lu:%lu:%lu.%lu", &days, &h, &m, &s, &cs) != 5)
        return -1;
    snprintf(again, sizeof again, "%lu %02lu:%02lu:%02lu.%02lu", days, h, m, s, cs);
    if (text != again || h > 23 || m > 59 || s > 59 || cs > 99)
        return -1;
    return (((long long)days * 24 + h) * 60 + m) * 60000 + s * 1000 + cs * 10;
}

#endif
