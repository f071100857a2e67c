// The save's property (save_property.cc), for the fuzzer (make fuzz) and the unit tests.
#pragma once
#include <string>

// The library started once per process, without a display: whether it is.
bool library_started();
// Aborts, printing both texts, where text's saves break the property. The library must be started.
void check_save_property(std::string text);
