// libFuzzer target: arbitrary text as the item catalogue and as the own-items
// text, in both orders. Every count must be checked before it is trusted.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "items/dao_ju.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = size > 0 ? data[0] % (size + 1) : 0;
    qira::items::DaoJuMaket maket;
    maket.LoadMyDaoJu(text.substr(cut));
    maket.LoadDaoJuInfo(text.substr(0, cut));
    maket.LoadMyDaoJu(text.substr(cut));
    maket.LoadDaoJuInfo(text);
    // Own items are always sorted into the catalogue's types.
    if (maket.DaoJuList().size() != maket.MyDaoJuList().size()) __builtin_trap();
    return 0;
}
