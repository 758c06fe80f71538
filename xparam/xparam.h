// XParam: a reference-counted tree node with a name, at most one typed value, a
// node kind for the XML writer and an ordered list of children.
//
// Conventions of every operation:
//  - Node results carry a new reference the caller releases (wrap them with
//    XRef<XParam>::Adopt); node arguments are borrowed for the call.
//  - Wide strings are a pointer and a length in UTF-16 code units; a length of
//    -1 means "up to the terminating NUL" and a null pointer is the empty string.
//    Any other negative length is taken as the empty string.
//  - Multi-byte strings come with a Windows code page number.
//  - Getters that must create a buffer put it in the caller's holder slot (see
//    x_in_res.h); the returned pointer lives as long as the slot's holder.
//    Getters answering with the node's own storage leave the slot alone; such
//    pointers live until the node's value or name changes.
//  - Nothing throws for bad input; failure is a false result or a null node.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>

#include "platform/com/com.h"
#include "xparam/x_in_res.h"
#include "xparam/x_ref.h"

namespace xparam {

// Which member of a node's value storage is live. The ranges are fixed:
// 17..46 numbers (Bool included), 49..78 objects, 80 text, 81 bytes.
enum class ValueKind : uint8_t {
    Empty = 0,
    Char = 17,
    UChar = 18,
    Short = 19,
    UShort = 20,
    Int = 21,
    UInt = 22,
    Int64 = 23,
    UInt64 = 24,
    Long = 25,
    ULong = 26,
    Float = 27,
    Double = 28,
    LongDouble = 29,
    Bool = 30,
    Pointer = 49,
    SharedPointer = 50,
    ComUnknown = 51,
    ComDispatch = 52,
    String = 80,
    Binary = 81,
};

// How the XML writer emits a node.
enum class NodeKind : uint8_t {
    Element = 0,
    CData = 1,
    Attribute = 2,
};

// The handle held by the SharedPointer value kind.
using SharedHandle = boost::shared_ptr<void>;

class XParam {
  public:
    virtual ~XParam() = default;

    virtual XParam* Clone() = 0;
    virtual XParam* CreateNode() = 0;
    virtual ValueKind GetKind() = 0;
    virtual bool IsEmpty() = 0;
    virtual bool IsNumber() = 0;
    virtual bool IsData() = 0;
    virtual bool IsBinary() = 0;
    virtual bool IsObject() = 0;
    virtual NodeKind GetNodeKind() = 0;
    virtual void SetNodeKind(NodeKind kind) = 0;

    virtual bool GetName(const char*& pName, int& nLen, unsigned int codePage, XInResSlot& res) = 0;
    virtual bool GetName(const char16_t*& pName, int& nLen) = 0;
    virtual bool SetName(const char* pName, int nLen, unsigned int codePage) = 0;
    virtual void SetName(const char16_t* pName, int nLen) = 0;

    virtual bool GetValue(const unsigned char*& pData, int& nLen, XInResSlot& res) = 0;
    virtual bool GetValue(const char*& pText, int& nLen, unsigned int codePage,
                          XInResSlot& res) = 0;
    virtual bool GetValue(const char16_t*& pText, int& nLen, XInResSlot& res) = 0;
    virtual bool GetValue(IDispatch*& pOut) = 0;
    virtual bool GetValue(IUnknown*& pOut) = 0;
    virtual bool GetValue(SharedHandle& out) = 0;
    virtual bool GetValue(void*& out) = 0;
    virtual bool GetValue(bool& out) = 0;
    virtual bool GetValue(long double& out) = 0;
    virtual bool GetValue(double& out) = 0;
    virtual bool GetValue(float& out) = 0;
    virtual bool GetValue(unsigned long& out) = 0;
    virtual bool GetValue(long& out) = 0;
    virtual bool GetValue(unsigned long long& out) = 0;
    virtual bool GetValue(long long& out) = 0;
    virtual bool GetValue(unsigned int& out) = 0;
    virtual bool GetValue(int& out) = 0;
    virtual bool GetValue(unsigned short& out) = 0;
    virtual bool GetValue(short& out) = 0;
    virtual bool GetValue(unsigned char& out) = 0;
    virtual bool GetValue(char& out) = 0;

    virtual void SetValue(const unsigned char* pData, int nLen) = 0;
    virtual bool SetValue(const char* pText, int nLen, unsigned int codePage) = 0;
    virtual void SetValue(const char16_t* pText, int nLen) = 0;
    virtual void SetValue(IDispatch* pDispatch) = 0;
    virtual void SetValue(IUnknown* pUnknown) = 0;
    virtual void SetValue(const SharedHandle& handle) = 0;
    virtual void SetValue(void* p) = 0;
    virtual void SetValue(bool v) = 0;
    virtual void SetValue(long double v) = 0;
    virtual void SetValue(double v) = 0;
    virtual void SetValue(float v) = 0;
    virtual void SetValue(unsigned long v) = 0;
    virtual void SetValue(long v) = 0;
    virtual void SetValue(unsigned long long v) = 0;
    virtual void SetValue(long long v) = 0;
    virtual void SetValue(unsigned int v) = 0;
    virtual void SetValue(int v) = 0;
    virtual void SetValue(unsigned short v) = 0;
    virtual void SetValue(short v) = 0;
    virtual void SetValue(unsigned char v) = 0;
    virtual void SetValue(char v) = 0;
    virtual void SetValue() = 0;

    virtual XParam* GetParent() = 0;
    virtual void AppendChild(XParam* pChild) = 0;
    virtual void PrependChild(XParam* pChild) = 0;
    virtual void InsertBefore(XParam* pRefChild, XParam* pNewChild) = 0;
    virtual void InsertAfter(XParam* pRefChild, XParam* pNewChild) = 0;
    virtual void RemoveChild(XParam* pChild) = 0;
    virtual void Detach() = 0;
    virtual void RemoveAllChildren() = 0;
    virtual XParam* GetDocumentElement() = 0;
    virtual XParam* GetFirstChild(const char* pName, int nLen, unsigned int codePage, int n) = 0;
    virtual XParam* GetFirstChild(const char16_t* pName, int nLen, int n) = 0;
    virtual XParam* GetFirstChild() = 0;
    virtual XParam* GetLastChild(const char* pName, int nLen, unsigned int codePage, int n) = 0;
    virtual XParam* GetLastChild(const char16_t* pName, int nLen, int n) = 0;
    virtual XParam* GetLastChild() = 0;
    virtual uint32_t GetChildCount() = 0;
    virtual XParam* GetPrevSibling() = 0;
    virtual XParam* GetPrevSameName() = 0;
    virtual XParam* GetNextSibling() = 0;
    virtual XParam* GetNextSameName() = 0;
    virtual bool HasNameIndex() = 0;
    virtual void BuildNameIndex() = 0;
    virtual void DropNameIndex() = 0;

    virtual void AddRef() = 0;
    virtual void Release() = 0;
};

using XParamRef = XRef<XParam>;

// A new detached node: empty name, Empty value, node kind Element, no children,
// reference count 1 owned by the caller.
XParam* CreateXParam();

}  // namespace xparam
