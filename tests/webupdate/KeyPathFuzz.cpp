// Fuzz harness of the key-path reader: any bytes, parsed as the product
// list would be, then looked up with the keys the product list uses.
#include <cstddef>
#include <cstdint>
#include <string>

#include "webupdate/KeyPathDocument.h"
#include "webupdate/WebProductList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    velmora::webupdate::KeyPathDocument document;
    if (document.Parse(text.c_str())) {
        std::string value;
        int count = 0;
        document.GetString("English.ProductsList.Product1.ID", value);
        document.GetInt("English.ProductsList.Count", count);
        velmora::webupdate::WebProductList list;
        list.ReadFrom(document);
    }
    return 0;
}
