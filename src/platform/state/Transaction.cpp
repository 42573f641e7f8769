#include "platform/state/Transaction.hpp"

namespace qv::platform {

namespace {
thread_local Transaction tlsTransaction;
} // namespace

const Transaction& Transaction::current() {
    return tlsTransaction;
}

TransactionScope::TransactionScope(Transaction transaction)
    : previous_(std::exchange(tlsTransaction, std::move(transaction))) {}

TransactionScope::~TransactionScope() {
    tlsTransaction = std::move(previous_);
}

} // namespace qv::platform
