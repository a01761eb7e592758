// Errors of the data-access layer.
#pragma once

#include "engine/core/errors.h"

namespace qd {

//! A database, driver or connection-string error. The message is the database's
//! or driver's own text where there is one.
class EDbError : public EGenericError {
  using EGenericError::EGenericError;
};

}  // namespace qd
