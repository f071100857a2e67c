// The save's property (save_property.cc), for the fuzzer and the unit tests.
#pragma once

#include <string>

// Aborts, printing both texts, where text's saves break the property. The library must be started.
void check_save_property(std::string text);
