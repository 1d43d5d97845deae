#!/usr/bin/env python3
"""Generates the viewer protocol structs and their tables from orlex.schema.

Usage: generate_schema.py <schema file> <output folder>

Writes <output>/OrlexProtocol/Structs.h (the structs with their declared defaults, equality and
the structDef<T>() declarations) and <output>/StructTables.cpp (struct, field and type records
with member access). Files whose text is unchanged are left alone so nothing rebuilds needlessly.
"""

import os
import re
import sys

SCALARS = {
    # schema type: (C++ type, wire type, default slot)
    'bool': ('bool', 'BT_BOOL', 'uint'),
    'uint8': ('std::uint8_t', 'BT_UINT8', 'uint'),
    'uint32': ('std::uint32_t', 'BT_UINT32', 'uint'),
    'uint64': ('std::uint64_t', 'BT_UINT64', 'uint'),
    'int32': ('std::int32_t', 'BT_INT32', 'int'),
    'int64': ('std::int64_t', 'BT_INT64', 'int'),
    'float': ('float', 'BT_FLOAT', 'double'),
    'double': ('double', 'BT_DOUBLE', 'double'),
    'string': ('std::string', 'BT_STRING', 'string'),
}

INT_RANGES = {
    'uint8': (0, 2**8 - 1),
    'uint32': (0, 2**32 - 1),
    'uint64': (0, 2**64 - 1),
    'int32': (-2**31, 2**31 - 1),
    'int64': (-2**63, 2**63 - 1),
}

DIRECTIONS = {
    'sent': 'Sent',
    'received': 'Received',
    'sent+received': 'SentAndReceived',
    'base': 'Base',
    'nested': 'Nested',
    'header': 'Header',
    'schema-only': 'SchemaOnly',
}

CPP_KEYWORDS = set('''
alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t char16_t
char32_t class compl concept const consteval constexpr constinit const_cast continue co_await
co_return co_yield decltype default delete do double dynamic_cast else enum explicit export
extern false float for friend goto if inline int long mutable namespace new noexcept not not_eq
nullptr operator or or_eq private protected public register reinterpret_cast requires return
short signed sizeof static static_assert static_cast struct switch template this thread_local
throw true try typedef typeid typename union unsigned using virtual void volatile wchar_t while
xor xor_eq
'''.split())

IDENT = re.compile(r'^[A-Za-z_][A-Za-z0-9_]*$')


class SchemaError(Exception):
    pass


class Type:
    """A parsed field type: kind is 'scalar', 'struct', 'list', 'nullable' or 'map'."""

    def __init__(self, kind, name=None, element=None, key=None):
        self.kind = kind
        self.name = name
        self.element = element
        self.key = key
        self.struct = None

    def text(self):
        if self.kind in ('scalar', 'struct'):
            return self.name
        if self.kind == 'map':
            return 'map<%s,%s>' % (self.key.text(), self.element.text())
        return '%s<%s>' % (self.kind, self.element.text())


class Field:
    def __init__(self, fid, name, type_, default, line):
        self.id = fid
        self.name = name
        self.type = type_
        self.default = default
        self.line = line


class Struct:
    def __init__(self, name, namespace, base, direction, line):
        self.name = name
        self.namespace = namespace
        self.base_name = base
        self.base = None
        self.direction = direction
        self.line = line
        self.fields = []
        self.index = 0

    @property
    def qualified(self):
        return self.namespace + '.' + self.name

    @property
    def cpp(self):
        return '::' + self.namespace.replace('.', '::') + '::' + self.name


def parse_type(text, where):
    text = text.strip()
    m = re.match(r'^(list|nullable|map)<(.*)>$', text)
    if m:
        kind, inner = m.group(1), m.group(2)
        if kind == 'map':
            depth = 0
            for i, ch in enumerate(inner):
                if ch == '<':
                    depth += 1
                elif ch == '>':
                    depth -= 1
                elif ch == ',' and depth == 0:
                    return Type('map', key=parse_type(inner[:i], where),
                                element=parse_type(inner[i + 1:], where))
            raise SchemaError('%s: map type needs a key and a value: %s' % (where, text))
        return Type(kind, element=parse_type(inner, where))
    if not IDENT.match(text):
        raise SchemaError('%s: bad type %r' % (where, text))
    return Type('scalar' if text in SCALARS else 'struct', name=text)


def parse_default(text, type_, where):
    """Returns the default as a Python value checked against the field's scalar type."""
    if type_.kind != 'scalar':
        raise SchemaError('%s: only numbers, bool and string fields declare defaults' % where)
    t = type_.name
    if t == 'string':
        if len(text) < 2 or text[0] != '"' or text[-1] != '"':
            raise SchemaError('%s: string default must be quoted: %s' % (where, text))
        body = text[1:-1]
        if '"' in body or '\\' in body:
            raise SchemaError('%s: string default with quotes or backslashes: %s' % (where, text))
        return body
    if t == 'bool':
        if text not in ('true', 'false'):
            raise SchemaError('%s: bool default must be true or false: %s' % (where, text))
        return text == 'true'
    if t in ('float', 'double'):
        if not re.match(r'^-?[0-9]+(\.[0-9]+)?([eE][-+]?[0-9]+)?$', text):
            raise SchemaError('%s: bad %s default %s' % (where, t, text))
        return text
    if not re.match(r'^-?[0-9]+$', text):
        raise SchemaError('%s: bad %s default %s' % (where, t, text))
    value = int(text)
    low, high = INT_RANGES[t]
    if not low <= value <= high:
        raise SchemaError('%s: default %s out of range for %s' % (where, text, t))
    return value


def strip_comment(line):
    quoted = False
    for i, ch in enumerate(line):
        if ch == '"':
            quoted = not quoted
        elif ch == '#' and not quoted:
            return line[:i]
    return line


def parse(path):
    structs = []
    namespace = None
    current = None
    with open(path, encoding='utf-8') as f:
        lines = f.read().split('\n')
    for number, raw in enumerate(lines, 1):
        where = '%s:%d' % (path, number)
        line = strip_comment(raw).strip()
        if not line:
            continue
        words = line.split()
        if current is None:
            if words[0] == 'namespace' and len(words) == 2:
                if not all(IDENT.match(p) for p in words[1].split('.')):
                    raise SchemaError('%s: bad namespace %s' % (where, words[1]))
                namespace = words[1]
                continue
            m = re.match(r'^struct\s+(\w+)\s*(?::\s*(\w+)\s+)?(\S+)$', line)
            if not m:
                raise SchemaError('%s: expected "namespace" or "struct": %s' % (where, line))
            if namespace is None:
                raise SchemaError('%s: struct before any namespace' % where)
            name, base, direction = m.group(1), m.group(2), m.group(3)
            if direction not in DIRECTIONS:
                raise SchemaError('%s: unknown direction %s' % (where, direction))
            current = Struct(name, namespace, base, direction, where)
            structs.append(current)
            continue
        if line == 'end':
            current = None
            continue
        m = re.match(r'^(\d+)\s+(\w+)\s+(\S+)\s*(?:=\s*(.+))?$', line)
        if not m:
            raise SchemaError('%s: expected "<id> <name> <type> [= default]": %s' % (where, line))
        type_ = parse_type(m.group(3), where)
        default = None
        if m.group(4) is not None:
            default = parse_default(m.group(4).strip(), type_, where)
        current.fields.append(Field(int(m.group(1)), m.group(2), type_, default, where))
    if current is not None:
        raise SchemaError('%s: struct %s has no "end"' % (path, current.name))
    return structs


def resolve(structs):
    by_name = {}
    for index, s in enumerate(structs):
        s.index = index
        if s.name in by_name:
            raise SchemaError('%s: struct %s declared twice' % (s.line, s.name))
        if s.name in CPP_KEYWORDS:
            raise SchemaError('%s: struct name %s is a C++ keyword' % (s.line, s.name))
        by_name[s.name] = s

    def resolve_type(t, where, in_container):
        if t.kind == 'struct':
            if t.name not in by_name:
                raise SchemaError('%s: unknown type %s' % (where, t.name))
            t.struct = by_name[t.name]
        elif t.kind == 'list':
            if t.element.kind == 'scalar' and t.element.name == 'bool':
                raise SchemaError('%s: list<bool> is not supported' % where)
            resolve_type(t.element, where, True)
        elif t.kind == 'nullable':
            if t.element.kind == 'nullable':
                raise SchemaError('%s: nullable of nullable' % where)
            resolve_type(t.element, where, True)
        elif t.kind == 'map':
            if t.key.kind != 'scalar':
                raise SchemaError('%s: map keys must be numbers or strings' % where)
            resolve_type(t.key, where, True)
            resolve_type(t.element, where, True)

    for s in structs:
        if s.base_name is not None:
            if s.base_name not in by_name:
                raise SchemaError('%s: unknown base %s' % (s.line, s.base_name))
            s.base = by_name[s.base_name]
        names = set()
        last_id = -1
        for f in s.fields:
            if not IDENT.match(f.name) or f.name in CPP_KEYWORDS:
                raise SchemaError('%s: bad field name %s' % (f.line, f.name))
            if f.name == s.name:
                raise SchemaError('%s: a field cannot have the name of its struct' % f.line)
            if f.name in names:
                raise SchemaError('%s: field %s declared twice' % (f.line, f.name))
            names.add(f.name)
            if f.id > 65535:
                raise SchemaError('%s: field id %d above 65535' % (f.line, f.id))
            if f.id <= last_id:
                raise SchemaError('%s: field ids must ascend in declaration order' % f.line)
            last_id = f.id
            resolve_type(f.type, f.line, False)

    # Base chains must end.
    for s in structs:
        seen = set()
        b = s
        while b is not None:
            if b.name in seen:
                raise SchemaError('%s: base chain of %s is circular' % (s.line, s.name))
            seen.add(b.name)
            b = b.base
    return by_name


def dependencies(s):
    """Structs that must be complete before s is defined."""
    deps = []
    if s.base is not None:
        deps.append(s.base)

    def walk(t):
        if t.kind == 'struct':
            deps.append(t.struct)
        elif t.element is not None:
            walk(t.element)
            if t.key is not None:
                walk(t.key)

    for f in s.fields:
        walk(f.type)
    return deps


def definition_order(structs):
    order = []
    state = {}

    def visit(s, chain):
        if state.get(s.name) == 'done':
            return
        if state.get(s.name) == 'active':
            raise SchemaError('%s: struct %s contains itself through %s'
                              % (s.line, s.name, ' -> '.join(chain)))
        state[s.name] = 'active'
        for d in dependencies(s):
            visit(d, chain + [d.name])
        state[s.name] = 'done'
        order.append(s)

    for s in structs:
        visit(s, [s.name])
    return order


def cpp_type(t):
    if t.kind == 'scalar':
        return SCALARS[t.name][0]
    if t.kind == 'struct':
        return t.struct.cpp
    if t.kind == 'list':
        return 'std::vector<%s>' % cpp_type(t.element)
    if t.kind == 'nullable':
        return '::bond::nullable<%s>' % cpp_type(t.element)
    return 'std::map<%s, %s>' % (cpp_type(t.key), cpp_type(t.element))


def cpp_literal(f):
    t = f.type.name
    v = f.default
    if t == 'string':
        return '"%s"' % v
    if t == 'bool':
        return 'true' if v else 'false'
    if t in ('float', 'double'):
        text = v if re.search(r'[.eE]', v) else v + '.0'
        return text + ('f' if t == 'float' else '')
    if t == 'int32' and v == -2**31:
        return '(-2147483647 - 1)'
    if t == 'int64' and v == -2**63:
        return '(-9223372036854775807ll - 1)'
    suffix = {'uint8': '', 'uint32': 'u', 'uint64': 'ull', 'int32': '', 'int64': 'll'}[t]
    return '%d%s' % (v, suffix)


def variant(f):
    """The C++ initializer of the field's bond::Variant default record."""
    t = f.type
    if t.kind != 'scalar' or f.default is None:
        return '{}'
    slot = SCALARS[t.name][2]
    v = f.default
    if slot == 'uint':
        return '{%dull, 0, 0.0, {}, false}' % (int(v))
    if slot == 'int':
        literal = '(-9223372036854775807ll - 1)' if v == -2**63 else '%dll' % v
        return '{0, %s, 0.0, {}, false}' % literal
    if slot == 'double':
        if t.name == 'float':
            return '{0, 0, static_cast<double>(%s), {}, false}' % cpp_literal(f)
        return '{0, 0, %s, {}, false}' % cpp_literal(f)
    return '{0, 0, 0.0, "%s", false}' % v


def write_if_changed(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    try:
        with open(path, encoding='utf-8') as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    tmp = path + '.tmp'
    with open(tmp, 'w', encoding='utf-8') as f:
        f.write(text)
    os.replace(tmp, path)


def header(structs, order):
    out = []
    w = out.append
    w('// Generated from orlex.schema by generate_schema.py. Do not edit.')
    w('// The viewer protocol structs: one public member per field, at its declared default.')
    w('#pragma once')
    w('')
    w('#include "OrlexProtocol/SchemaDef.h"')
    w('#include "bond/nullable.h"')
    w('')
    w('#include <cstdint>')
    w('#include <map>')
    w('#include <string>')
    w('#include <vector>')
    w('')
    namespaces = []
    for s in structs:
        if s.namespace not in namespaces:
            namespaces.append(s.namespace)
    for ns in namespaces:
        w('namespace %s {' % ns.replace('.', '::'))
        for s in structs:
            if s.namespace == ns:
                w('struct %s;' % s.name)
        w('} // namespace %s' % ns.replace('.', '::'))
        w('')

    # Every struct is defined before the structs that hold it and none contains itself (see
    # definition_order), so nullables of structs hold them inline.
    held = []
    for s in structs:
        for f in s.fields:
            t = f.type
            if t.kind == 'nullable' and t.element.kind == 'struct' and t.element.struct not in held:
                held.append(t.element.struct)
    if held:
        w('namespace bond {')
        for s in sorted(held, key=lambda x: x.index):
            w('template <>')
            w('struct nullable_inline<%s> : std::true_type' % s.cpp)
            w('{')
            w('};')
        w('} // namespace bond')
        w('')

    current = None
    for s in order:
        if s.namespace != current:
            if current is not None:
                w('} // namespace %s' % current.replace('.', '::'))
                w('')
            current = s.namespace
            w('namespace %s {' % current.replace('.', '::'))
            w('')
        w('// "%s", %s' % (s.qualified, s.direction))
        w('struct %s%s' % (s.name, (' : ' + s.base.cpp) if s.base else ''))
        w('{')
        for f in s.fields:
            init = (' = ' + cpp_literal(f)) if f.default is not None else ''
            if not init and f.type.kind == 'scalar' and f.type.name != 'string':
                init = '{}'
            w('    %s %s%s; // id %d' % (cpp_type(f.type), f.name, init, f.id))
        if s.fields:
            w('')
        terms = []
        if s.base:
            terms.append('static_cast<const %s&>(a) == static_cast<const %s&>(b)' % (s.base.cpp, s.base.cpp))
        terms += ['a.%s == b.%s' % (f.name, f.name) for f in s.fields]
        params = '(const %s& a, const %s& b)' % (s.cpp, s.cpp) if terms else '(const %s&, const %s&)' % (s.cpp, s.cpp)
        w('    friend bool operator==%s' % params)
        w('    {')
        if not terms:
            w('        return true;')
        else:
            w('        return ' + '\n            && '.join(terms) + ';')
        w('    }')
        w('')
        w('    friend bool operator!=(const %s& a, const %s& b) { return !(a == b); }' % (s.cpp, s.cpp))
        w('};')
        w('')
    w('} // namespace %s' % current.replace('.', '::'))
    w('')
    w('namespace Dremm::Orlex::Schema {')
    w('')
    for s in structs:
        w('template <>')
        w('const StructDef& structDef<%s>();' % s.cpp)
    w('')
    w('} // namespace Dremm::Orlex::Schema')
    w('')
    return '\n'.join(out)


def type_table(structs):
    types = {}
    ordered = []

    def add(t):
        key = t.text()
        if key in types:
            return types[key]
        if t.element is not None:
            add(t.element)
        if t.key is not None:
            add(t.key)
        types[key] = len(ordered)
        ordered.append(t)
        return types[key]

    for s in structs:
        for f in s.fields:
            add(f.type)
    return types, ordered


def tables(structs):
    types, ordered = type_table(structs)
    field_count = sum(len(s.fields) for s in structs)
    out = []
    w = out.append
    w('// Generated from orlex.schema by generate_schema.py. Do not edit.')
    w('#include "OrlexProtocol/Structs.h"')
    w('')
    w('namespace Dremm::Orlex::Schema {')
    w('namespace generated {')
    w('')
    w('extern const TypeDef g_types[%d];' % len(ordered))
    w('extern const FieldDef g_fields[%d];' % max(field_count, 1))
    w('extern const StructDef g_structs[%d];' % len(structs))
    w('')
    w('constexpr TypeDef g_types[%d] = {' % len(ordered))
    for t in ordered:
        ref = lambda x: '&g_types[%d]' % types[x.text()] if x is not None else 'nullptr'
        if t.kind == 'scalar':
            entry = '{bond::%s, Container::None, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}' \
                % SCALARS[t.name][1]
        elif t.kind == 'struct':
            entry = '{bond::BT_STRUCT, Container::None, nullptr, nullptr, &g_structs[%d], nullptr, nullptr, nullptr}' \
                % t.struct.index
        elif t.kind == 'list':
            entry = '{bond::BT_LIST, Container::List, %s, nullptr, nullptr, &detail::ListOpsOf<%s>::ops, nullptr, nullptr}' \
                % (ref(t.element), cpp_type(t))
        elif t.kind == 'nullable':
            entry = '{bond::BT_LIST, Container::Nullable, %s, nullptr, nullptr, nullptr, &detail::NullableOpsOf<%s>::ops, nullptr}' \
                % (ref(t.element), cpp_type(t))
        else:
            entry = '{bond::BT_MAP, Container::Map, %s, %s, nullptr, nullptr, nullptr, &detail::MapOpsOf<%s>::ops}' \
                % (ref(t.element), ref(t.key), cpp_type(t))
        w('    %s, // %s' % (entry, t.text()))
    w('};')
    w('')
    w('constexpr FieldDef g_fields[%d] = {' % max(field_count, 1))
    for s in structs:
        for f in s.fields:
            w('    {%d, {"%s", {}, bond::Modifier::Optional, %s}, &g_types[%d],' % (
                f.id, f.name, variant(f), types[f.type.text()]))
            w('     [](void* o) -> void* { return &static_cast<%s*>(o)->%s; },' % (s.cpp, f.name))
            w('     [](const void* o) -> const void* { return &static_cast<const %s*>(o)->%s; }}, // %s'
              % (s.cpp, f.name, s.name))
    if field_count == 0:
        w('    {}')
    w('};')
    w('')
    w('constexpr StructDef g_structs[%d] = {' % len(structs))
    start = 0
    for s in structs:
        w('    {{"%s", "%s", bond::Modifier::Optional, {}}, Direction::%s,' % (
            s.name, s.qualified, DIRECTIONS[s.direction]))
        if s.base:
            w('     &g_structs[%d], {g_fields + %d, %d},' % (s.base.index, start, len(s.fields)))
            w('     [](void* o) -> void* { return static_cast<%s*>(static_cast<%s*>(o)); },' % (s.base.cpp, s.cpp))
            w('     [](const void* o) -> const void* { return static_cast<const %s*>(static_cast<const %s*>(o)); },'
              % (s.base.cpp, s.cpp))
        else:
            w('     nullptr, {g_fields + %d, %d}, nullptr, nullptr,' % (start, len(s.fields)))
        w('     []() -> void* { return new %s(); },' % s.cpp)
        w('     [](void* o) { delete static_cast<%s*>(o); }},' % s.cpp)
        start += len(s.fields)
    w('};')
    w('')
    w('} // namespace generated')
    w('')
    for s in structs:
        w('template <>')
        w('const StructDef& structDef<%s>()' % s.cpp)
        w('{')
        w('    return generated::g_structs[%d];' % s.index)
        w('}')
        w('')
    w('Span<StructDef> allStructs()')
    w('{')
    w('    return {generated::g_structs, %d};' % len(structs))
    w('}')
    w('')
    w('} // namespace Dremm::Orlex::Schema')
    w('')
    return '\n'.join(out)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write('usage: generate_schema.py <schema file> <output folder>\n')
        return 2
    try:
        structs = parse(argv[1])
        resolve(structs)
        order = definition_order(structs)
    except (SchemaError, OSError) as e:
        sys.stderr.write('error: %s\n' % e)
        return 1
    write_if_changed(os.path.join(argv[2], 'OrlexProtocol', 'Structs.h'), header(structs, order))
    write_if_changed(os.path.join(argv[2], 'StructTables.cpp'), tables(structs))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
