#include "DataModule.h"

namespace vnk::db {

Tdm1& dm1() {
    static Tdm1 module;
    return module;
}

}  // namespace vnk::db
