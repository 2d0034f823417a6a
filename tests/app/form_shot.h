#pragma once
// The part of a real display's screen that a form covers, saved as a PNG file for a person to
// look at (the tests on an X server).

#include "platform/forms/form.h"

#include <string>

bool SaveFormShot(platform::TForm* Form, const std::string& Path);
