# End-to-end tests: disk images made from the real files in tests/data.
