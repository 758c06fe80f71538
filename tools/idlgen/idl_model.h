// The parsed form of the IDL subset that describes our automation surface.
#pragma once

#include <string>
#include <vector>

namespace corvo::idlgen {

enum class BaseType { Bstr, Long, Ulong, Interface };

struct Param {
    std::string name;
    BaseType type = BaseType::Long;
    std::string interface_name;  // for BaseType::Interface
    int pointer_depth = 0;       // number of '*' after the type name
    bool in = false;
    bool out = false;
    bool retval = false;
    int line = 0;
};

struct Method {
    std::string name;
    int dispid = 0;
    std::vector<Param> params;
    int line = 0;
};

struct Interface {
    std::string name;
    std::string base;  // "IDispatch" or "IUnknown"; empty for a dispinterface
    std::string uuid;  // "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper case
    std::string help;  // UTF-8
    bool dispinterface = false;
    bool dual = false;
    bool oleautomation = false;
    bool nonextensible = false;
    std::vector<Method> methods;
    int line = 0;
};

struct CoclassMember {
    std::string name;
    bool dispinterface = false;
    bool is_default = false;
    bool source = false;
};

struct Coclass {
    std::string name;
    std::string uuid;
    std::string help;
    std::vector<CoclassMember> members;
    int line = 0;
};

struct Library {
    std::string name;
    std::string uuid;
    std::string help;
    int major_version = 0;
    int minor_version = 0;
    std::vector<Coclass> coclasses;
};

struct IdlFile {
    std::vector<std::string> forward_declarations;
    std::vector<Interface> interfaces;  // in file order, dispinterfaces included
    Library library;
};

}  // namespace corvo::idlgen
