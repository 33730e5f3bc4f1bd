#pragma once
// The parts of a chain just encoded, handed to the desktop's mail
// composer: one composer window per part, through xdg-email, each with its
// subject, its text and the part attached. Where no composer starts, the
// mails are written as .eml files beside the parts instead, and a message
// says so.

#include <QStringList>

#include <filesystem>

#include "Services.h"

namespace calverdon::gui {

// The command that opens a composer; xdg-email's options follow it.
inline QStringList DefaultComposer() { return {QStringLiteral("xdg-email")}; }

// Offers the chain whose first part is `firstPart`, encoded from `source`,
// through `composer`; what could not be done is told through `messages`.
void OfferPartsByMail(const std::filesystem::path& source, const std::filesystem::path& firstPart,
                      const QStringList& composer, UserMessages& messages);

}  // namespace calverdon::gui
