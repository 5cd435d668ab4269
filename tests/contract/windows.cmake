# The platform contract on the DirectShow backend, against the registered
# virtual DirectShow cameras; included from windows/CMakeLists.txt.
set(contract ${VARNHOLT_ROOT}/tests/contract)
varnholt_wine_test(test_contract_directshow
  SOURCES
    ${contract}/ContractSupport.cpp
    ${contract}/DeviceContractTest.cpp
    ${contract}/PropertyContractTest.cpp
    ${contract}/StreamContractTest.cpp
    ${contract}/FaultContractTest.cpp
    ${contract}/DirectShowRig.cpp
  LIBS varnholt_directshow varnholt_vcam_control)
add_dependencies(test_contract_directshow varnholt_vcam)
