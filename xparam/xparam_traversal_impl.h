// XParamTraversalImpl: the stateless implementation of XParamTraversal.
#pragma once

#include "xparam/ref_counter_base.h"
#include "xparam/wide_string.h"
#include "xparam/xparam_traversal.h"

namespace xparam {

class XParamTraversalImpl : public ref_counter_base<XParamTraversal, XParamTraversalImpl> {
  public:
    bool Traverse(XParam* pRoot, TraverseCallback callback, void* userData) override;
    const char* ToXml(XParam* pRoot, int& nLen, const char* pIndent, const char* pLineBreak,
                      unsigned int codePage, XInResSlot& res) override;
    const char16_t* ToXml(XParam* pRoot, int& nLen, const char16_t* pIndent,
                          const char16_t* pLineBreak, XInResSlot& res) override;
    bool SaveXml(XParam* pRoot, const char16_t* pPath, const char16_t* pIndent,
                 const char16_t* pLineBreak, const char16_t* pEncoding) override;
    bool SaveXml(XParam* pRoot, const char* pPath, const char* pIndent, const char* pLineBreak,
                 const char* pEncoding, unsigned int codePage) override;

  private:
    // The multi-byte ToXml, which may throw std::bad_alloc.
    static const char* NarrowXml(XParam* pRoot, int& nLen, const char* pIndent,
                                 const char* pLineBreak, unsigned int codePage, XInResSlot& res);
    friend class ref_counter_base<XParamTraversal, XParamTraversalImpl>;
    ~XParamTraversalImpl() override = default;
};

}  // namespace xparam
