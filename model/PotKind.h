#pragma once

namespace torvik {

// Which control positions a block: the gain pot (blocks 1, 2), nothing (block 3), the tone stack (block 4).
enum class PotKind { Gain, None, Tone };

} // namespace torvik
