#include "ProgressRun.h"

#include <utility>

namespace {

TransferPageServices& Services()
{
    static TransferPageServices services;
    return services;
}

}  // namespace

TransferPageServices SetTransferPageServices(TransferPageServices services)
{
    TransferPageServices before = Services();
    Services() = std::move(services);
    return before;
}

const TransferPageServices& TransferServices() { return Services(); }
