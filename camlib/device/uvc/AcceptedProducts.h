#pragma once

namespace veltrion {

// Which products a program accepts as cameras on the UVC channel: the
// desktop program also takes two products the console tool leaves alone.
enum class AcceptedProducts { Console, Desktop };

}  // namespace veltrion
