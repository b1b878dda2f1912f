# The avatar viewer and its picture arithmetic.
add_larkspire_test(unit test_picture_fit LIBS larkspire_core)
