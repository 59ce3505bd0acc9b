// Owners of what libcups hands out (a connection, an IPP message, a list of
// addresses), each freed by libcups' own function when its owner goes.
#pragma once
#include <cups/cups.h>

#include <memory>

namespace printing {

struct HttpClose {
  void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, HttpClose>;

struct IppDelete {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Response = std::unique_ptr<ipp_t, IppDelete>;

struct AddressListFree {
  void operator()(http_addrlist_t* list) const { httpAddrFreeList(list); }
};
using AddressList = std::unique_ptr<http_addrlist_t, AddressListFree>;

}  // namespace printing
