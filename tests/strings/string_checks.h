// Structural checks of the string state shared by the string tests.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "runtime/strings/rtstring.h"

// Walks every list: slots point back at their descriptors, texts lie in address order inside
// their area, descriptor words mirror their strings, and slot 0 of the temporary list is free.
testing::AssertionResult string_lists_consistent();

// Makes the next critical error print its caption to standard error and end the process,
// as it does behind the platform's dialog.
void print_critical_errors();

// Fills a new string's undefined text.
RtString* filled(RtString* s, std::string_view text);
