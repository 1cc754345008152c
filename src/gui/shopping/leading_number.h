#pragma once

#include <QString>

namespace tallyhawk
{

// The number that the first 20 characters of `text` begin with, as far as they form one (leading
// blanks, a sign, digits with one decimal point, an exponent); 0 when they do not begin with one, and
// for anything that is not a finite number.
double LeadingNumber(const QString& text);

} // namespace tallyhawk
