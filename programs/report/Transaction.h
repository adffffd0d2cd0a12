#pragma once
// A database transaction that is rolled back unless committed, so that a failure anywhere
// inside it leaves nothing half-written.

#include "report/Database.h"

namespace Quilna {

class Transaction {
public:
    explicit Transaction(Database& database) : database_(database) { database_.begin(); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    ~Transaction() {
        if (open_) {
            try {
                database_.rollback();
            } catch (...) {
                // The failure that got us here is the one worth reporting.
            }
        }
    }

    void commit() {
        database_.commit();
        open_ = false;
    }

private:
    Database& database_;
    bool open_ = true;
};

}  // namespace Quilna
