// The unit tests' fixture: the library started once per process, without a display.
#pragma once

bool library_started();
