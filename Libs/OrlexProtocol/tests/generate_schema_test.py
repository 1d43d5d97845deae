#!/usr/bin/env python3
"""The schema generator refuses schemas that would give wrong structs or tables."""

import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'schema'))
import generate_schema  # noqa: E402

VALID_PREFIX = '''
namespace Test.Ns
struct Base base
    0 Id uint64
end
'''


def run(text):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, 'test.schema')
        with open(path, 'w', encoding='utf-8') as f:
            f.write(text)
        structs = generate_schema.parse(path)
        generate_schema.resolve(structs)
        generate_schema.definition_order(structs)
        return structs


class GeneratorTest(unittest.TestCase):
    def test_bad_schemas_are_refused(self):
        cases = {
            'descending ids': 'struct A nested\n 2 X int32\n 1 Y int32\nend\n',
            'repeated id': 'struct A nested\n 1 X int32\n 1 Y int32\nend\n',
            'id above 16 bits': 'struct A nested\n 65536 X int32\nend\n',
            'unknown type': 'struct A nested\n 0 X Missing\nend\n',
            'unknown base': 'struct A : Missing sent\nend\n',
            'field named like its struct': 'struct A nested\n 0 A int32\nend\n',
            'field twice': 'struct A nested\n 0 X int32\n 1 X int32\nend\n',
            'keyword field': 'struct A nested\n 0 class int32\nend\n',
            'struct twice': 'struct Base nested\nend\n',
            'unknown direction': 'struct A outward\nend\n',
            'default out of range': 'struct A nested\n 0 X uint8 = 256\nend\n',
            'negative unsigned default': 'struct A nested\n 0 X uint32 = -1\nend\n',
            'unquoted string default': 'struct A nested\n 0 X string = Segoe\nend\n',
            'default on a struct field': 'struct A nested\n 0 X Base = 1\nend\n',
            'list of bool': 'struct A nested\n 0 X list<bool>\nend\n',
            'nullable of nullable': 'struct A nested\n 0 X nullable<nullable<int32>>\nend\n',
            'struct containing itself': 'struct A nested\n 0 X B\nend\nstruct B nested\n 0 Y list<A>\nend\n',
            'circular bases': 'struct A : B nested\nend\nstruct B : A nested\nend\n',
            'missing end': 'struct A nested\n 0 X int32\n',
        }
        for name, body in cases.items():
            with self.subTest(name):
                with self.assertRaises(generate_schema.SchemaError):
                    run(VALID_PREFIX + body)

    def test_defaults_and_forward_references(self):
        structs = run(VALID_PREFIX + '''
struct Derived : Base sent
    0 Mask  uint64 = 18446744073709551615
    1 Font  string = "Segoe # not a comment"   # a comment
    2 Size  float  = 2
    3 Later Later
end
struct Later nested
    0 Level int32 = -2147483648
end
''')
        derived = structs[1]
        self.assertEqual([f.default for f in derived.fields][:3], [2**64 - 1, 'Segoe # not a comment', '2'])
        self.assertEqual(generate_schema.cpp_literal(derived.fields[2]), '2.0f')
        self.assertEqual(generate_schema.cpp_literal(structs[2].fields[0]), '(-2147483647 - 1)')
        order = [s.name for s in generate_schema.definition_order(structs)]
        self.assertLess(order.index('Later'), order.index('Derived'))
        self.assertLess(order.index('Base'), order.index('Derived'))


if __name__ == '__main__':
    unittest.main()
