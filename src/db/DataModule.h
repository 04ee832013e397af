#pragma once

#include "Connection.h"

namespace vnk::db {

// The data module: the one connection and the one query of the program.
struct Tdm1 {
    Connection ADOConn1{true};  // its server's literal rule governs the quoting of values
    Query ADOQry1{ADOConn1};
};

Tdm1& dm1();

}  // namespace vnk::db
