#ifndef TESTS_SUPPORT_TEXTACCESS_H
#define TESTS_SUPPORT_TEXTACCESS_H

#include "engine/text/Text.h"

// How often a CText laid itself out, for the tests that check it lays out only when it must.
class CTextAccess {
public:
    static int layoutCount(const CText& text)
    {
        return text.getLayoutCount();
    }
};

#endif
