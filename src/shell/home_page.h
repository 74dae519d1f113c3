// MaybeOpenHomePage: about one start-up in a hundred opens the product's home page.
#pragma once

#include <QString>
#include <functional>

namespace qv::shell {

// A random value from 0 inclusive to 1 exclusive.
using RandomSource = std::function<double()>;
// Opens an address in the user's web browser without waiting; false when that failed.
using UrlOpener = std::function<bool(const QString& address)>;

// A whole number from 1 to 100: the integer part of random * 100, plus 1.
int DrawOneToHundred(double random);

// The random source of the program: seeded from the seconds elapsed since midnight.
RandomSource TimerSeededRandom();

// Draws a number; on 7, and only then, opens the home page. A failed open is a failure
// (qv::Error) that the caller's trap reports.
void MaybeOpenHomePage(const RandomSource& random, const UrlOpener& open_url);

}  // namespace qv::shell
