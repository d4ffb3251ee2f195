#include "plugin/dialog_params.h"

namespace wdi {

DeinterlaceParameters dialogParams = kDefaultParameters;

}  // namespace wdi
