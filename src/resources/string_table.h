#pragma once

namespace dl {

// The English message texts by identifier; "" for an unknown identifier.
const char* LoadStringText(int id);

}  // namespace dl
