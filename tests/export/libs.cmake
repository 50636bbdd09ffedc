# The export tests link the exporter's logic and the headless host; the demo-scene test also checks
# every file with the validator of the zeq command.
set(ZEQ_TEST_LIBS zeq_export_logic zeq_headless zeq_inspect)
