// Natively there is no module load: the description comes from the built-in
// string table at start-up.
#include "plugin/filter_description.h"

namespace wdi {

FilterDescription filterDescription = [] {
  FilterDescription description{};
  FillFilterDescription(&description, &BuiltinString);
  return description;
}();

}  // namespace wdi
