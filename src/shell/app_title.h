// The application title: the product name cut at blanks until it has at most 40 characters.
#pragma once

#include <QString>

namespace qv::shell {

inline constexpr int kMaxAppTitleLength = 40;

// Drops whole trailing words (cut before the last blank) while the text is longer than 40
// characters. A text of 40 characters or fewer comes back unchanged.
QString ShortenedAppTitle(const QString& product_name);

// Makes the shortened product name the application title.
void SetAppTitle();

// The current application title; the product name until SetAppTitle has run.
QString AppTitle();

}  // namespace qv::shell
