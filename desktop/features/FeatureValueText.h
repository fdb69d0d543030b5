#pragma once

// The text form of a feature value ("0x" and two lower-case hexadecimal
// digits per byte, most significant first), as the "Enum" values of the
// feature JSON write it: a choice is the camera's current one exactly when
// the two texts are equal.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/FeatureLayout.h"

namespace veltrion::desktop {

// "0x" + "%02x" per byte, in the given order.
std::string valueText(std::span<const uint8_t> bytes);

// The current value of one property from the camera's feature query reply,
// which holds the feature's properties in order, each least significant
// byte first. Nothing when the property does not lie inside the reply.
std::optional<std::string> currentValueText(std::span<const uint8_t> reply, int offsetInFeature, int length);

// The choices in the order their buttons appear: by label, byte by byte,
// a label before a longer one that begins with it.
void sortChoicesByLabel(std::vector<FeatureChoice>& choices);

// The note shown while a choice is checked; empty for most choices.
std::string choiceNote(const FeatureChoice& choice);

}  // namespace veltrion::desktop
