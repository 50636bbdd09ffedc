# The corpus sweep runs the built zeq on the public test models (where the assimp-testmodels
# package installs them), reads its output with the inspection helpers and compares with Assimp.
set(ZEQ_TEST_LIBS zeq_inspect zeq_format assimp::assimp)
set(ZEQ_TEST_DEPENDS zeq)
