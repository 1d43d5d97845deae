#!/usr/bin/env python3
"""Generates the Compact Binary writers and readers of the viewer protocol structs.

Usage: generate_codec.py <schema file> <output folder>

Writes, from orlex.schema (read with generate_schema.py's parser):
  OrlexProtocol/codec/StructIO.h     per struct the writer, the reader of its parts and the reset to
                                     its defaults, with direct member access (StructIO<T>, see
                                     ValueCodec.h)
  OrlexProtocol/codec/Serializers.h  the named operations: serialize<Name> and write<Name> for every
                                     struct the program sends and every struct inside one or at its
                                     base; deserialize<Name> for every struct it receives and every
                                     struct inside one, deserialize<Name>Base for their bases
  CodecTables.cpp                    the named operations and the by-record entry points of
                                     StructCodec.h (writeStruct, readStruct, readStructReusing,
                                     readBasePart)
Structs that are only declared (schema-only) get no code.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate_schema as schema  # noqa: E402

SENT = ('sent', 'sent+received', 'header')
RECEIVED = ('received', 'sent+received', 'header')
USED = SENT + RECEIVED + ('base', 'nested')

CODEC = '::Dremm::Orlex::Codec'
DETAIL = CODEC + '::detail'


def closure(structs, directions):
    """The structs of these directions and everything their bytes contain: bases, field types."""
    found = {}
    bases = set()

    def visit_type(t):
        if t.kind == 'struct':
            visit(t.struct)
        if t.element is not None:
            visit_type(t.element)
        if t.key is not None:
            visit_type(t.key)

    def visit(s):
        if s.name in found:
            return
        found[s.name] = s
        if s.base is not None:
            bases.add(s.base.name)
            visit(s.base)
        for f in s.fields:
            visit_type(f.type)

    for s in structs:
        if s.direction in directions:
            visit(s)
    return [s for s in structs if s.name in found], bases


def wire_type(t):
    if t.kind == 'scalar':
        return 'bond::' + schema.SCALARS[t.name][1]
    if t.kind == 'struct':
        return 'bond::BT_STRUCT'
    if t.kind == 'map':
        return 'bond::BT_MAP'
    return 'bond::BT_LIST'


def present_condition(f):
    """The C++ condition under which field f is written (None: always)."""
    t = f.type
    member = 'value.' + f.name
    if t.kind == 'struct':
        return None
    if t.kind in ('list', 'map'):
        return '!%s.empty()' % member
    if t.kind == 'nullable':
        return '%s.hasvalue()' % member
    if t.name == 'string':
        if f.default is None or f.default == '':
            return '!%s.empty()' % member
        return '%s != %s' % (member, schema.cpp_literal(f))
    if t.name == 'bool':
        return '%s != %s' % (member, 'true' if f.default else 'false')
    if t.name in ('float', 'double'):
        # Compared as doubles: -0.0 equals a default of 0.0, a NaN equals nothing.
        default = schema.cpp_literal(f) if f.default is not None else '0.0'
        return '!(static_cast<double>(%s) == static_cast<double>(%s))' % (member, default)
    default = schema.cpp_literal(f) if f.default is not None else '0'
    return '%s != %s' % (member, default)


SCALAR_BOUND = {'bool': 1, 'uint8': 1, 'uint32': 5, 'uint64': 10, 'int32': 5, 'int64': 10,
                'float': 4, 'double': 8}
WIRE_NUMBER = {'BT_BOOL': 2, 'BT_UINT8': 3, 'BT_UINT32': 5, 'BT_UINT64': 6, 'BT_FLOAT': 7,
               'BT_DOUBLE': 8, 'BT_STRING': 9, 'BT_STRUCT': 10, 'BT_LIST': 11, 'BT_MAP': 13,
               'BT_INT32': 16, 'BT_INT64': 17}


def wire_number(t):
    return WIRE_NUMBER[wire_type(t)[len('bond::'):]]


def header_bytes(fid, t):
    number = wire_number(t)
    if fid <= 5:
        return [(fid << 5) | number]
    if fid <= 255:
        return [0xC0 | number, fid]
    return [0xE0 | number, fid & 0xFF, fid >> 8]


class Bounds:
    """Which types take a bounded number of bytes, and how many at most."""

    def __init__(self):
        self.structs = {}

    def of_type(self, t):
        if t.kind == 'scalar':
            return SCALAR_BOUND.get(t.name)
        if t.kind == 'struct':
            return self.of_struct(t.struct)
        if t.kind == 'nullable':
            inner = self.of_type(t.element)
            return None if inner is None else 2 + inner
        return None

    def of_struct(self, s):
        if s.name in self.structs:
            return self.structs[s.name]
        total = 1
        if s.base is not None:
            base = self.of_struct(s.base)
            total = None if base is None else total + base
        for f in s.fields:
            b = self.of_type(f.type)
            if total is None or b is None:
                total = None
            else:
                total += len(header_bytes(f.id, f.type)) + b
        self.structs[s.name] = total
        return total


def put_value(w, indent, t, expr):
    """Lines writing the value expr of bounded type t at p."""
    if t.kind == 'scalar':
        w('%sp = raw::put(p, %s);' % (indent, expr))
    elif t.kind == 'struct':
        w('%sp = StructIO<%s>::put(p, %s, false);' % (indent, t.struct.cpp, expr))
    else:  # nullable of a bounded type, known to hold a value
        w('%s*p++ = %d;' % (indent, wire_number(t.element)))
        w('%s*p++ = 1;' % indent)
        put_value(w, indent, t.element, expr + '.value()')


def put_field(w, indent, f):
    cond = present_condition(f)
    inner = indent
    if cond is not None:
        w('%sif (%s) {' % (indent, cond))
        inner = indent + '    '
    for byte in header_bytes(f.id, f.type):
        w('%s*p++ = 0x%02X;' % (inner, byte))
    put_value(w, inner, f.type, 'value.' + f.name)
    if cond is not None:
        w('%s}' % indent)


FIXED_SIZE = {'bool': 1, 'uint8': 1, 'float': 4, 'double': 8}
VARINT_CAST = {
    'uint32': 'static_cast<std::uint32_t>(v)',
    'uint64': 'v',
    'int32': 'zigzag32(static_cast<std::uint32_t>(v))',
    'int64': 'zigzag64(v)',
}


def fast_read(w, indent, target, scalar, offset):
    """Lines that read scalar at p + offset into target (an lvalue or a nullable's set) and step
    over it; a varint that does not end in the window leaves the case to the generic reader."""
    if scalar in FIXED_SIZE:
        size = FIXED_SIZE[scalar]
        w('%sif (avail >= %d) {' % (indent, offset + size))
        if scalar == 'bool':
            expr = 'p[%d] != 0' % offset
        elif scalar == 'uint8':
            expr = 'p[%d]' % offset
        else:
            w('%s    %s x;' % (indent, 'float' if scalar == 'float' else 'double'))
            w('%s    std::memcpy(&x, p + %d, %d);' % (indent, offset, size))
            expr = 'x'
        w('%s    %s;' % (indent, target(expr)))
        w('%s    input.advance(%d);' % (indent, offset + size))
    else:
        w('%sstd::uint64_t v;' % indent)
        w('%sif (const std::uint8_t* q = fastVarint(p + %d, p + avail, v)) {' % (indent, offset))
        w('%s    %s;' % (indent, target(VARINT_CAST[scalar])))
        w('%s    input.advance(static_cast<std::size_t>(q - p));' % indent)


def cursor_allows(i):
    # Fields that come after a later one are stepped over, as the generic loop does.
    return 'cursor == 0' if i == 0 else 'cursor <= %d' % i


def fast_cases(w, s):
    """The common case decoded straight from the window in one step: a stop byte, or a field of
    the declared wire type with a one-byte header holding a number or a nullable number; other
    fields of the declared wire type with a one-byte header go straight to their value's reader.
    Anything else (other ids or wire types, a window that ends inside the value) goes the generic
    way, which reads the same bytes to the same result."""
    cases = []
    others = []
    for i, f in enumerate(s.fields):
        t = f.type
        if f.id > 5:
            continue
        if t.kind == 'scalar' and (t.name in FIXED_SIZE or t.name in VARINT_CAST):
            cases.append((i, f, (f.id << 5) | wire_number(t), t.name, False))
        elif t.kind == 'nullable' and t.element.kind == 'scalar' and \
                (t.element.name in FIXED_SIZE or t.element.name in VARINT_CAST):
            cases.append((i, f, (f.id << 5) | 11, t.element.name, True))
        else:
            others.append((i, f, (f.id << 5) | wire_number(t)))
    w('        {')
    w('            auto& input = reader.input();')
    w('            std::size_t avail = input.windowSize();')
    w('            // A field header is due: an empty window is filled here rather than in the')
    w('            // generic read of its first byte.')
    w('            if (avail == 0 && input.fillWindow())')
    w('                avail = input.windowSize();')
    w('            if (avail != 0) {')
    w('                const std::uint8_t* p = input.windowData();')
    w('                switch (p[0]) {')
    w('                case 0x00: input.advance(1); return ::bond::BT_STOP;')
    w('                case 0x01: input.advance(1); return ::bond::BT_STOP_BASE;')
    for i, f, header, scalar, nullable in cases:
        w('                case 0x%02X:' % header)
        ind = '                    '
        if nullable:
            w('%sif (%s && avail >= 3 && p[1] == %d && p[2] == 1) {'
              % (ind, cursor_allows(i), WIRE_NUMBER[schema.SCALARS[scalar][1]]))
            fast_read(w, ind + '    ', lambda e, f=f: 'value.%s.set(%s)' % (f.name, e), scalar, 3)
            w('%s        cursor = %d;' % (ind, i))
            w('%s        continue;' % ind)
            w('%s    }' % ind)
            w('%s}' % ind)
        else:
            w('%sif (%s) {' % (ind, cursor_allows(i)))
            fast_read(w, ind + '    ', lambda e, f=f: 'value.%s = %s' % (f.name, e), scalar, 1)
            w('%s        cursor = %d;' % (ind, i))
            w('%s        continue;' % ind)
            w('%s    }' % ind)
            w('%s}' % ind)
        w('%sbreak;' % ind)
    for i, f, header in others:
        w('                case 0x%02X:' % header)
        ind = '                    '
        w('%sif (%s) {' % (ind, cursor_allows(i)))
        w('%s    input.advance(1);' % ind)
        w('%s    readValue(reader, ::%s, value.%s);' % (ind, wire_type(f.type), f.name))
        w('%s    cursor = %d;' % (ind, i))
        w('%s    continue;' % ind)
        w('%s}' % ind)
        w('%sbreak;' % ind)
    w('                default: break;')
    w('                }')
    w('            }')
    w('        }')


def clear_struct(w, s):
    """StructIO<T>::clear: every field back at its declared default; lists and texts keep their
    memory, nullable structs are held inline and take none."""
    w('inline void StructIO<%s>::clear(%s& value)' % (s.cpp, s.cpp))
    w('{')
    if s.base is not None:
        w('    StructIO<%s>::clear(value);' % s.base.cpp)
    if not s.fields and s.base is None:
        w('    (void)value;')
    for f in s.fields:
        t = f.type
        member = 'value.' + f.name
        if t.kind == 'struct':
            w('    StructIO<%s>::clear(%s);' % (t.struct.cpp, member))
        elif t.kind in ('list', 'map'):
            w('    %s.clear();' % member)
        elif t.kind == 'nullable':
            w('    %s.reset();' % member)
        elif t.name == 'string':
            if f.default is None or f.default == '':
                w('    %s.clear();' % member)
            else:
                w('    %s = %s;' % (member, schema.cpp_literal(f)))
        elif f.default is not None:
            w('    %s = %s;' % (member, schema.cpp_literal(f)))
        else:
            w('    %s = {};' % member)
    w('}')
    w('')


def struct_io(structs):
    bounds = Bounds()
    out = []
    w = out.append
    w('// Generated from orlex.schema by generate_codec.py. Do not edit.')
    w('// Per struct: its writer and the reader of its parts, with direct member access. Runs of')
    w('// fields of bounded size are written through a pointer into room reserved for the whole run.')
    w('#pragma once')
    w('')
    w('#include "OrlexProtocol/Structs.h"')
    w('#include "OrlexProtocol/codec/ValueCodec.h"')
    w('')
    w('#include <cassert>')
    w('')
    w('namespace Dremm::Orlex::Codec::detail {')
    w('')
    for s in structs:
        w('template <>')
        w('struct StructIO<%s>' % s.cpp)
        w('{')
        bound = bounds.of_struct(s)
        if bound is not None:
            w('    static constexpr std::size_t kBound = %d;' % bound)
            w('    static std::uint8_t* put(std::uint8_t* p, const %s& value, bool asBase);' % s.cpp)
        w('    static void write(Writer& writer, const %s& value, bool asBase);' % s.cpp)
        w('    static void clear(%s& value);' % s.cpp)
        w('    template <typename Input>')
        w('    static ::bond::BondDataType readParts(::bond::CompactBinaryReader<Input>& reader, %s& value);' % s.cpp)
        w('};')
        w('')
    for s in structs:
        w('// %s' % s.qualified)
        bound = bounds.of_struct(s)
        if bound is not None:
            w('CORV_CODEC_INLINE std::uint8_t* StructIO<%s>::put(std::uint8_t* p, const %s& value, bool asBase)'
              % (s.cpp, s.cpp))
            w('{')
            if s.base is not None:
                w('    p = StructIO<%s>::put(p, value, true);' % s.base.cpp)
            if not s.fields and s.base is None:
                w('    (void)value;')
            for f in s.fields:
                put_field(w, '    ', f)
            w('    *p++ = asBase ? 1 : 0;')
            w('    return p;')
            w('}')
            w('')
            w('inline void StructIO<%s>::write(Writer& writer, const %s& value, bool asBase)' % (s.cpp, s.cpp))
            w('{')
            w('    std::uint8_t* const start = writer.output().reserveTail(kBound);')
            w('    const auto length = static_cast<std::size_t>(put(start, value, asBase) - start);')
            w('    assert(length <= kBound);')
            w('    writer.output().commit(length);')
            w('}')
            w('')
        else:
            w('inline void StructIO<%s>::write(Writer& writer, const %s& value, bool asBase)' % (s.cpp, s.cpp))
            w('{')
            if s.base is not None:
                w('    StructIO<%s>::write(writer, value, true);' % s.base.cpp)
            # Consecutive bounded fields share one reservation.
            run = []

            def flush():
                if not run:
                    return
                total = sum(len(header_bytes(f.id, f.type)) + bounds.of_type(f.type) for f in run)
                w('    {')
                w('        std::uint8_t* const start = writer.output().reserveTail(%d);' % total)
                w('        std::uint8_t* p = start;')
                for f in run:
                    put_field(w, '        ', f)
                w('        assert(static_cast<std::size_t>(p - start) <= %d);' % total)
                w('        writer.output().commit(static_cast<std::size_t>(p - start));')
                w('    }')
                del run[:]

            for f in s.fields:
                if bounds.of_type(f.type) is not None:
                    run.append(f)
                    continue
                flush()
                cond = present_condition(f)
                indent = '    '
                if cond is not None:
                    w('    if (%s) {' % cond)
                    indent = '        '
                w('%swriter.writeFieldBegin(::%s, %d);' % (indent, wire_type(f.type), f.id))
                w('%swriteValue(writer, value.%s);' % (indent, f.name))
                if cond is not None:
                    w('    }')
            flush()
            w('    writer.writeStructEnd(asBase);')
            w('}')
            w('')
        clear_struct(w, s)
        w('template <typename Input>')
        w('::bond::BondDataType StructIO<%s>::readParts(::bond::CompactBinaryReader<Input>& reader, %s& value)'
          % (s.cpp, s.cpp))
        w('{')
        if s.base is not None:
            w('    if (!readBase(reader, static_cast<%s&>(value)))' % s.base.cpp)
            w('        throwStructStop("%s");' % s.qualified)
        if s.fields:
            w('    static constexpr std::uint16_t ids[] = {%s};' % ', '.join(str(f.id) for f in s.fields))
            w('    std::size_t cursor = 0;')
        else:
            w('    (void)value;')
        w('    for (;;) {')
        fast_cases(w, s)
        w('        ::bond::BondDataType wire;')
        w('        std::uint16_t id;')
        w('        reader.readFieldBegin(wire, id);')
        w('        if (wire == ::bond::BT_STOP || wire == ::bond::BT_STOP_BASE)')
        w('            return wire;')
        if s.fields:
            w('        while (cursor < %d && ids[cursor] < id)' % len(s.fields))
            w('            ++cursor;')
            w('        if (cursor < %d && ids[cursor] == id) {' % len(s.fields))
            w('            bool read = false;')
            w('            switch (cursor) {')
            for i, f in enumerate(s.fields):
                w('            case %d: read = readValue(reader, wire, value.%s); break;' % (i, f.name))
            w('            }')
            w('            if (read)')
            w('                continue;')
            w('        }')
        w('        reader.skip(wire);')
        w('    }')
        w('}')
        w('')
    w('} // namespace Dremm::Orlex::Codec::detail')
    w('')
    return '\n'.join(out)


def by_namespace(structs, items):
    namespaces = []
    for s in structs:
        if s.namespace not in namespaces:
            namespaces.append(s.namespace)
    return [(ns, [s for s in items if s.namespace == ns]) for ns in namespaces]


def serializers_header(structs, writers, readers, read_bases):
    out = []
    w = out.append
    w('// Generated from orlex.schema by generate_codec.py. Do not edit.')
    w('// The named Compact Binary writers and readers of the viewer protocol structs.')
    w('#pragma once')
    w('')
    w('#include "OrlexProtocol/codec/StructCodec.h"')
    w('')
    for ns, items in by_namespace(structs, structs):
        names = set(s.name for s in items)
        w('namespace %s {' % ns.replace('.', '::'))
        w('')
        for s in writers:
            if s.name not in names:
                continue
            w('// Appends %s; with asBase as the base part of a derived struct, ending 01.' % s.name)
            w('void write%s(%s::Writer& writer, const %s& value, bool asBase);' % (s.name, CODEC, s.name))
            w('void serialize%s(%s::Writer& writer, const %s& value);' % (s.name, CODEC, s.name))
        w('')
        for s in readers:
            if s.name not in names:
                continue
            w('void deserialize%s(%s::Reader& reader, %s& value);' % (s.name, CODEC, s.name))
            if s.name in read_bases:
                w('bool deserialize%sBase(%s::Reader& reader, %s& value);' % (s.name, CODEC, s.name))
        w('')
        w('} // namespace %s' % ns.replace('.', '::'))
        w('')
    return '\n'.join(out)


def tables(structs, used, writers, readers, read_bases):
    used_names = set(s.name for s in used)
    out = []
    w = out.append
    w('// Generated from orlex.schema by generate_codec.py. Do not edit.')
    w('#include "OrlexProtocol/codec/Serializers.h"')
    w('#include "OrlexProtocol/codec/StructIO.h"')
    w('')
    w('#include <string>')
    w('')
    for ns, items in by_namespace(structs, structs):
        names = set(s.name for s in items)
        w('namespace %s {' % ns.replace('.', '::'))
        w('')
        for s in writers:
            if s.name not in names:
                continue
            w('void write%s(%s::Writer& writer, const %s& value, bool asBase)' % (s.name, CODEC, s.name))
            w('{')
            w('    %s::StructIO<%s>::write(writer, value, asBase);' % (DETAIL, s.name))
            w('}')
            w('void serialize%s(%s::Writer& writer, const %s& value)' % (s.name, CODEC, s.name))
            w('{')
            w('    %s::StructIO<%s>::write(writer, value, false);' % (DETAIL, s.name))
            w('}')
        for s in readers:
            if s.name not in names:
                continue
            w('void deserialize%s(%s::Reader& reader, %s& value)' % (s.name, CODEC, s.name))
            w('{')
            w('    %s::readStruct(reader, value);' % DETAIL)
            w('}')
            if s.name in read_bases:
                w('bool deserialize%sBase(%s::Reader& reader, %s& value)' % (s.name, CODEC, s.name))
                w('{')
                w('    return %s::readBase(reader, value);' % DETAIL)
                w('}')
        w('')
        w('} // namespace %s' % ns.replace('.', '::'))
        w('')
    w('namespace Dremm::Orlex::Codec {')
    w('')
    w('namespace {')
    w('')
    w('struct Entry')
    w('{')
    w('    void (*write)(Writer&, const void*, bool);')
    w('    ::bond::BondDataType (*readParts)(Reader&, void*);')
    w('    void (*clear)(void*);')
    w('};')
    w('')
    w('template <typename T>')
    w('void writeErased(Writer& writer, const void* object, bool asBase)')
    w('{')
    w('    detail::StructIO<T>::write(writer, *static_cast<const T*>(object), asBase);')
    w('}')
    w('')
    w('template <typename T>')
    w('::bond::BondDataType readErased(Reader& reader, void* object)')
    w('{')
    w('    return detail::StructIO<T>::readParts(reader, *static_cast<T*>(object));')
    w('}')
    w('')
    w('template <typename T>')
    w('void clearErased(void* object)')
    w('{')
    w('    detail::StructIO<T>::clear(*static_cast<T*>(object));')
    w('}')
    w('')
    w('// In the order of the schema\'s struct records; structs that never travel have none.')
    w('const Entry g_entries[%d] = {' % len(structs))
    for s in structs:
        if s.name in used_names:
            w('    {&writeErased<%s>, &readErased<%s>, &clearErased<%s>},' % (s.cpp, s.cpp, s.cpp))
        else:
            w('    {nullptr, nullptr, nullptr}, // %s' % s.name)
    w('};')
    w('')
    w('const Entry& entryOf(const Schema::StructDef& def)')
    w('{')
    w('    const Schema::Span<Schema::StructDef> all = Schema::allStructs();')
    w('    const auto index = static_cast<std::size_t>(&def - all.begin());')
    w('    if (index >= %d || !g_entries[index].write)' % len(structs))
    w('        throw ::bond::CoreException("No Compact Binary form for " + std::string(def.metadata.qualified_name));')
    w('    return g_entries[index];')
    w('}')
    w('')
    w('} // namespace')
    w('')
    w('void writeStruct(Writer& writer, const Schema::StructDef& def, const void* object, bool asBase)')
    w('{')
    w('    entryOf(def).write(writer, object, asBase);')
    w('}')
    w('')
    w('void readStruct(Reader& reader, const Schema::StructDef& def, void* object)')
    w('{')
    w('    const Entry& entry = entryOf(def);')
    w('    Reader::Nesting nesting(reader);')
    w('    if (entry.readParts(reader, object) == ::bond::BT_STOP_BASE)')
    w('        reader.skipStructRest();')
    w('}')
    w('')
    w('void readStructReusing(Reader& reader, const Schema::StructDef& def, void* object)')
    w('{')
    w('    const Entry& entry = entryOf(def);')
    w('    entry.clear(object);')
    w('    Reader::Nesting nesting(reader);')
    w('    if (entry.readParts(reader, object) == ::bond::BT_STOP_BASE)')
    w('        reader.skipStructRest();')
    w('}')
    w('')
    w('bool readBasePart(Reader& reader, const Schema::StructDef& def, void* object)')
    w('{')
    w('    const Entry& entry = entryOf(def);')
    w('    Reader::Nesting nesting(reader);')
    w('    return entry.readParts(reader, object) == ::bond::BT_STOP_BASE;')
    w('}')
    w('')
    w('} // namespace Dremm::Orlex::Codec')
    w('')
    return '\n'.join(out)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write('usage: generate_codec.py <schema file> <output folder>\n')
        return 2
    try:
        structs = schema.parse(argv[1])
        schema.resolve(structs)
        order = schema.definition_order(structs)
    except (schema.SchemaError, OSError) as e:
        sys.stderr.write('error: %s\n' % e)
        return 1
    used, _ = closure(structs, USED)
    used_names = set(s.name for s in used)
    writers, _ = closure(structs, SENT)
    readers, read_bases = closure(structs, RECEIVED)
    # Specialisations in definition order, so that each struct's parts come before it.
    ordered_used = [s for s in order if s.name in used_names]
    out = argv[2]
    schema.write_if_changed(os.path.join(out, 'OrlexProtocol', 'codec', 'StructIO.h'), struct_io(ordered_used))
    schema.write_if_changed(os.path.join(out, 'OrlexProtocol', 'codec', 'Serializers.h'),
                            serializers_header(structs, writers, readers, read_bases))
    schema.write_if_changed(os.path.join(out, 'CodecTables.cpp'),
                            tables(structs, used, writers, readers, read_bases))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
