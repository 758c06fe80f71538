// The login control's serialization helper: turns exchange records into
// documents and back. The control holds one instance, created with it.
#pragma once

namespace corvo::srlz {

// Stateless. Its operations arrive with the exchange documents.
class XParamSLHelper {};

}  // namespace corvo::srlz
